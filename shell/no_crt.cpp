// The two memory routines that the compiler may call on its own for
// structure copies and zero-initialised buffers, since the updater links no
// C runtime. Built without loop-to-call pattern matching, so they cannot
// turn into calls to themselves.
#include <stddef.h>

extern "C" void* memset(void* destination, int value, size_t count)
{
    unsigned char* p = static_cast<unsigned char*>(destination);
    while (count-- != 0)
        *p++ = static_cast<unsigned char>(value);
    return destination;
}

extern "C" void* memcpy(void* destination, const void* source, size_t count)
{
    unsigned char* to = static_cast<unsigned char*>(destination);
    const unsigned char* from = static_cast<const unsigned char*>(source);
    while (count-- != 0)
        *to++ = *from++;
    return destination;
}
