// FindKernelFunction: GetProcAddress on the KERNEL32 that every process has;
// CallMoveFileEx through it.
#include <windows.h>
#include "common/kernel_functions.h"

void* FindKernelFunction(const char* name)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    return kernel == 0 ? 0 : reinterpret_cast<void*>(GetProcAddress(kernel, name));
}

typedef BOOL(WINAPI* MoveFileExFunction)(LPCSTR, LPCSTR, DWORD);

BOOL CallMoveFileEx(const char* from, const char* to, DWORD flags)
{
    MoveFileExFunction moveFileEx = reinterpret_cast<MoveFileExFunction>(FindKernelFunction("MoveFileExA"));
    return moveFileEx != 0 && moveFileEx(from, to, flags);
}
