// What Windows 95, 98, NT 4.0, 2000 and XP each accept of the system calls
// that the updater makes: a table with a row for each function (where it
// exists, the bits of each flags argument, the length and form of each path
// argument, what a platform takes differently), and a check of the calls of
// a relay trace against it, as one platform would answer them.
#ifndef TESTS_SUPPORT_PLATFORM_CALLS_H
#define TESTS_SUPPORT_PLATFORM_CALLS_H

#include <set>
#include <string>
#include <vector>
#include "support/relay_trace.h"

enum Platform { PLATFORM_WIN95, PLATFORM_WIN98, PLATFORM_NT40, PLATFORM_WIN2K, PLATFORM_WINXP, PLATFORM_COUNT };

// The family's name as Wine's per-program Windows version spells it.
const char* PlatformName(Platform platform);

// What the check of one platform found, summed over the traces given it.
struct PlatformCallCheck {
    size_t calls = 0;
    std::set<std::string> functions;
    std::vector<std::string> refused;  // "<function>: <why>, argument <n> <value>"
};

// Checks every call of `calls` as `platform` takes it; adds to `check`.
// A call of a function without a row is refused, as is a path argument that
// the trace does not show whole.
void CheckPlatformCalls(const std::vector<RelayCall>& calls, Platform platform, PlatformCallCheck& check);

// The functions that the table has rows for.
std::vector<std::string> PlatformTableFunctions();

#endif
