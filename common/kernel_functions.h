// Finding a KERNEL32 function at run time, for the functions that the first
// Windows 95 or NT 4.0 may lack (MoveFileExA, GetDiskFreeSpaceExA): the
// updater must load where they are missing, so it does not import them.
#ifndef COMMON_KERNEL_FUNCTIONS_H
#define COMMON_KERNEL_FUNCTIONS_H

#include <windows.h>

// The address of KERNEL32's function `name`, or 0 when it has none.
void* FindKernelFunction(const char* name);

// MoveFileExA(from, to, flags), found at run time. False where the system
// has none; GetLastError then tells nothing.
BOOL CallMoveFileEx(const char* from, const char* to, DWORD flags);

#endif
