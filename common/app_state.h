// Process-wide facts recorded at start and read by the rest of the program.
#ifndef COMMON_APP_STATE_H
#define COMMON_APP_STATE_H

#include <windows.h>

// Instance handle of the program, used for every resource load.
extern HINSTANCE AppInstance;
// Platform version, filled once at start (dwPlatformId 1: Windows 95 family).
extern OSVERSIONINFOA OsVersion;
// Set by a complete update run; Exit then offers to restart Windows.
extern bool RestartPending;

// Whether the platform is of the Windows 95 family (95, 98, Me); any other
// platform id is the NT family.
inline bool IsWindows95Family()
{
    return OsVersion.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

#endif
