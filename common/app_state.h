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

#endif
