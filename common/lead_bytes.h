// Which bytes start a double-byte character in the ANSI code page. Path code
// walks strings one character at a time with this table, because a trail byte
// may equal '\' (0x5C) in code page 932.
// Pure code; the table is filled from the system by InitLeadBytes (lead_bytes_init.cpp).
#ifndef COMMON_LEAD_BYTES_H
#define COMMON_LEAD_BYTES_H

void ClearLeadBytes();
void AddLeadByteRange(unsigned char first, unsigned char last);
bool IsLeadByte(unsigned char byte);

// Lead-byte ranges of code page 932 (Shift-JIS).
void UseCodePage932LeadBytes();

// Start of the character after the one at `p`. A lead byte followed by the
// terminator counts as one byte, so a scan never steps over the end.
const char* NextChar(const char* p);

#endif
