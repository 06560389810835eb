// CRC-32 with a byte table computed on first use into uninitialised data,
// so the table costs the program file nothing.
#include "common/crc32.h"

static unsigned int CrcTable[256];
static bool CrcTableReady;

static void FillCrcTable()
{
    for (unsigned int n = 0; n < 256; ++n) {
        unsigned int c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        CrcTable[n] = c;
    }
    CrcTableReady = true;
}

unsigned int Crc32Update(unsigned int crc, const void* data, unsigned int length)
{
    if (!CrcTableReady)
        FillCrcTable();
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (unsigned int i = 0; i < length; ++i)
        crc = CrcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

unsigned int Crc32Of(const void* data, unsigned int length)
{
    return Crc32Finish(Crc32Update(CRC32_START, data, length));
}
