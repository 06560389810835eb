// ReadRelayTrace: the "Call" lines of Wine's relay trace, parsed.
#include "support/relay_trace.h"
#include <windows.h>
#include <cstdlib>
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
        // "<process>:<thread>:Call" with +pid, "<thread>:Call" without.
        size_t colon = line.find(':');
        if (colon < call)
            parsed.processId = std::strtoul(line.c_str(), nullptr, 16);
        size_t returns = line.rfind(" ret=");
        if (returns != std::string::npos && returns > open)
            parsed.returnAddress = std::strtoull(line.c_str() + returns + 5, nullptr, 16);
        std::string name = line.substr(call + 6, open - call - 6);
        // Wine also writes "Call window proc ..." and "Call PE DLL ..." on
        // this channel: no call of a module's function.
        if (name.find(' ') != std::string::npos || name.find('.') == std::string::npos)
            continue;
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

bool ExecutableRange(const std::string& exePath, unsigned long long& base, unsigned long long& size)
{
    std::string image = ReadFileBytes(exePath);
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return false;
    LONG headers = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data())->e_lfanew;
    if (headers <= 0 || image.size() < static_cast<size_t>(headers) + sizeof(IMAGE_NT_HEADERS64))
        return false;
    const char* optional = image.data() + headers + 4 + sizeof(IMAGE_FILE_HEADER);
    if (*reinterpret_cast<const WORD*>(optional) == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        base = reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional)->ImageBase;
        size = reinterpret_cast<const IMAGE_OPTIONAL_HEADER64*>(optional)->SizeOfImage;
    } else {
        base = reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional)->ImageBase;
        size = reinterpret_cast<const IMAGE_OPTIONAL_HEADER32*>(optional)->SizeOfImage;
    }
    return true;
}

std::vector<RelayCall> CallsFromExecutable(const std::vector<RelayCall>& calls, unsigned long processId,
                                           const std::string& exePath)
{
    std::vector<RelayCall> own;
    unsigned long long base = 0, size = 0;
    if (!ExecutableRange(exePath, base, size))
        return own;
    for (const RelayCall& call : calls)
        if (call.processId == processId && call.returnAddress >= base && call.returnAddress < base + size)
            own.push_back(call);
    return own;
}
