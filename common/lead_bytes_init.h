// Start-up filling of the lead-byte table from the ANSI code page.
#ifndef COMMON_LEAD_BYTES_INIT_H
#define COMMON_LEAD_BYTES_INIT_H

void InitLeadBytes();

#endif
