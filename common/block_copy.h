// Copying a file's bytes in large blocks: on a disk that seeks between the
// two files, each block costs a seek, so fewer and larger blocks copy
// faster than the platform's copy call.
#ifndef COMMON_BLOCK_COPY_H
#define COMMON_BLOCK_COPY_H

#include <windows.h>

// Copies the bytes of `from` over `to` (made anew, plain attributes).
// NO_ERROR, or the error of the call that failed (a write cut short counts
// as ERROR_DISK_FULL); `to` may then hold part of the bytes.
DWORD CopyInBlocks(const char* from, const char* to);

#endif
