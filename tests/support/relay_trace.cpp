// ReadRelayTrace: the "Call" lines of Wine's relay trace, parsed.
#include "support/relay_trace.h"
#include <sstream>
#include "support/scratch_files.h"

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the string that starts after the opening quote at `at`; leaves `at`
// after the closing quote (and after "..." when the trace cut it short).
static RelayArgument ReadString(const std::string& line, size_t& at)
{
    RelayArgument argument;
    argument.isString = true;
    while (at < line.size() && line[at] != '"') {
        char c = line[at++];
        if (c != '\\' || at >= line.size()) {
            argument.text += c;
            continue;
        }
        char escaped = line[at++];
        if (escaped == 'n')
            argument.text += '\n';
        else if (escaped == 'r')
            argument.text += '\r';
        else if (escaped == 't')
            argument.text += '\t';
        else if (escaped == 'x' && at + 1 < line.size() && HexDigit(line[at]) >= 0 && HexDigit(line[at + 1]) >= 0) {
            argument.text += static_cast<char>(HexDigit(line[at]) * 16 + HexDigit(line[at + 1]));
            at += 2;
        } else
            argument.text += escaped;
    }
    ++at;
    if (line.compare(at, 3, "...") == 0) {
        argument.cut = true;
        at += 3;
    }
    return argument;
}

std::vector<RelayCall> ReadRelayTrace(const std::string& path)
{
    std::vector<RelayCall> calls;
    std::istringstream in(ReadFileBytes(path));
    for (std::string line; std::getline(in, line);) {
        size_t call = line.find(":Call ");
        size_t open = line.find('(', call);
        if (call == std::string::npos || open == std::string::npos)
            continue;
        RelayCall parsed;
        std::string name = line.substr(call + 6, open - call - 6);
        parsed.function = name.substr(name.find('.') + 1);
        size_t at = open + 1;
        RelayArgument argument;
        while (at < line.size()) {
            char c = line[at];
            if (c == '"') {
                ++at;
                argument = ReadString(line, at);
            } else if (c == ',' || c == ')') {
                parsed.arguments.push_back(argument);
                argument = RelayArgument();
                ++at;
                if (c == ')')
                    break;
            } else {
                // A string's pointer comes before it and is dropped with it.
                if (!argument.isString)
                    argument.text += c == ' ' ? std::string() : std::string(1, c);
                ++at;
            }
        }
        calls.push_back(parsed);
    }
    return calls;
}
