// The lead-byte table and the one-character step that the path helpers use.
#include "common/lead_bytes.h"

static bool LeadByteTable[256];

void ClearLeadBytes()
{
    for (int i = 0; i < 256; ++i)
        LeadByteTable[i] = false;
}

void AddLeadByteRange(unsigned char first, unsigned char last)
{
    for (unsigned int b = first; b <= last; ++b)
        LeadByteTable[b] = true;
}

bool IsLeadByte(unsigned char byte)
{
    return LeadByteTable[byte];
}

void UseCodePage932LeadBytes()
{
    ClearLeadBytes();
    AddLeadByteRange(0x81, 0x9F);
    AddLeadByteRange(0xE0, 0xFC);
}

const char* NextChar(const char* p)
{
    if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != 0)
        return p + 2;
    return p + 1;
}
