// Flushing a file that the update has just written to the disk, so that a
// name given to it afterwards never outlives its content in a power cut.
#ifndef COMMON_FILE_FLUSH_H
#define COMMON_FILE_FLUSH_H

#include <windows.h>

// A file's size in its two 32-bit halves, as the ANSI calls report it.
struct FileSize {
    DWORD low;
    DWORD high;
};

// Flushes the file open as `file` (opened for writing: only such a handle
// can be flushed), whose path is `path`; with `expected` given, only when
// the file has exactly that size. True when it was flushed.
bool FlushOpenFile(HANDLE file, const char* path, const FileSize* expected);

// The same for the file at `path`, opened and closed for it; with
// `waitForHolder`, once a program that holds it for a moment (a scanner
// reading a fresh file) lets go.
bool FlushFileAt(const char* path, const FileSize* expected, bool waitForHolder = false);

#endif
