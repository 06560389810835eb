// Storage for the process-wide state; the program entry sets it before the dialog opens.
#include "common/app_state.h"

HINSTANCE AppInstance;
OSVERSIONINFOA OsVersion;
bool RestartPending;
