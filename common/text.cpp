// Bounded byte-string helpers: every write knows the size of its buffer.
#include "common/text.h"

unsigned int TextLength(const char* text)
{
    unsigned int n = 0;
    while (text[n] != 0)
        ++n;
    return n;
}

bool CopyText(char* out, unsigned int outSize, const char* text)
{
    if (outSize == 0)
        return false;
    unsigned int n = TextLength(text);
    if (n >= outSize) {
        out[0] = 0;
        return false;
    }
    for (unsigned int i = 0; i <= n; ++i)
        out[i] = text[i];
    return true;
}

bool AppendText(char* out, unsigned int outSize, const char* text)
{
    unsigned int used = TextLength(out);
    unsigned int n = TextLength(text);
    if (used >= outSize || n >= outSize - used)
        return false;
    for (unsigned int i = 0; i <= n; ++i)
        out[used + i] = text[i];
    return true;
}

void ClearBytes(void* out, unsigned int count)
{
    volatile unsigned char* p = static_cast<volatile unsigned char*>(out);
    for (unsigned int i = 0; i < count; ++i)
        p[i] = 0;
}
