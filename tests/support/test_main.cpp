// Entry of every test program: records the process-wide state the way the
// updater's own entry does, then runs the tests.
#include <windows.h>
#include <gtest/gtest.h>
#include "common/app_state.h"
#include "common/lead_bytes_init.h"

int main(int argc, char** argv)
{
    AppInstance = GetModuleHandleA(0);
    RestartPending = false;
    OsVersion.dwOSVersionInfoSize = sizeof OsVersion;
    GetVersionExA(&OsVersion);
    InitLeadBytes();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
