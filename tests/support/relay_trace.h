// Reading Wine's relay trace: one line for each call of a traced function,
// with its arguments as the program passed them (string arguments written
// out, escaped, and cut short past some 290 characters).
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
};

// The calls in the trace file `path`, in order.
std::vector<RelayCall> ReadRelayTrace(const std::string& path);

#endif
