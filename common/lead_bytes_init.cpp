// Fills the lead-byte table once at start from the system's ANSI code page.
#include <windows.h>
#include "common/lead_bytes.h"
#include "common/lead_bytes_init.h"

static const UINT CODE_PAGE_SHIFT_JIS = 932;

void InitLeadBytes()
{
    UINT codePage = GetACP();
    if (codePage == CODE_PAGE_SHIFT_JIS) {
        UseCodePage932LeadBytes();
        return;
    }
    ClearLeadBytes();
    CPINFO info;
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize < 2)
        return;
    // LeadByte holds pairs of inclusive ranges, ended by a zero pair.
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2)
        AddLeadByteRange(info.LeadByte[i], info.LeadByte[i + 1]);
}
