// FindKernelFunction: GetProcAddress on the KERNEL32 that every process has.
#include <windows.h>
#include "common/kernel_functions.h"

void* FindKernelFunction(const char* name)
{
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    return kernel == 0 ? 0 : reinterpret_cast<void*>(GetProcAddress(kernel, name));
}

MoveFileExFunction FindMoveFileEx()
{
    return reinterpret_cast<MoveFileExFunction>(FindKernelFunction("MoveFileExA"));
}
