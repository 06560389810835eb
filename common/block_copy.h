// Copying a file through one large buffer of our own. On a single disk the
// platform's copy call (64 KB at a time) makes the heads move between the
// source and the copy for every block; a block of 512 KB moves them an
// eighth as often. Across two disks the platform's call is as fast.
#ifndef COMMON_BLOCK_COPY_H
#define COMMON_BLOCK_COPY_H

#include <windows.h>

// Copies `from` over `to`, with the source's attributes (but read-only) and
// last-write time. NO_ERROR, or the error that stopped it (ERROR_DISK_FULL
// for a short write), and `to` then partly written.
DWORD CopyInBlocks(const char* from, const char* to);

#endif
