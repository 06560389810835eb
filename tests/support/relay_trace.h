// Reading Wine's relay trace: one line for each call of a traced function,
// with its arguments as the program passed them (string arguments written
// out, escaped, and cut short past some 290 characters), the process that
// made it and where it returns to.
#ifndef TESTS_SUPPORT_RELAY_TRACE_H
#define TESTS_SUPPORT_RELAY_TRACE_H

#include <string>
#include <vector>

struct RelayArgument {
    std::string text;     // a string argument's bytes, or the value as printed
    bool isString = false;
    bool cut = false;     // a string that the trace cut short
};

struct RelayCall {
    std::string function;  // "CreateFileA", without its module
    std::vector<RelayArgument> arguments;
    unsigned long processId = 0;         // where the trace shows it (WINEDEBUG=+pid)
    unsigned long long returnAddress = 0;
};

// The calls in the trace file `path`, in order.
std::vector<RelayCall> ReadRelayTrace(const std::string& path);

// Where the executable `exePath` asks to be loaded, from its header; false
// when the header cannot be read.
bool ExecutableRange(const std::string& exePath, unsigned long long& base, unsigned long long& size);

// The calls of `calls` that the process `processId` made from the code of
// the executable `exePath` (loaded where its header asks, as the updater's
// executable, which has no relocations, always is). Empty when the header
// cannot be read.
std::vector<RelayCall> CallsFromExecutable(const std::vector<RelayCall>& calls, unsigned long processId,
                                           const std::string& exePath);

#endif
