// libFuzzer target for the bounded text helpers: CopyText and AppendText
// never write past their buffer and leave it as documented on failure.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "common/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    unsigned int capacity = data[0];
    std::string input(reinterpret_cast<const char*>(data) + 2, size - 2);
    size_t cut = data[1] % (input.size() + 1);
    std::string first = input.substr(0, cut), second = input.substr(cut);
    first = first.substr(0, strlen(first.c_str()));
    second = second.substr(0, strlen(second.c_str()));

    std::vector<char> buffer(capacity + 8, '\x5A');
    bool copied = CopyText(buffer.data(), capacity, first.c_str());
    if (copied != (first.size() < capacity))
        __builtin_trap();
    if (copied) {
        std::string before = buffer.data();
        bool appended = AppendText(buffer.data(), capacity, second.c_str());
        if (appended != (first.size() + second.size() < capacity))
            __builtin_trap();
        if (appended ? std::string(buffer.data()) != first + second : std::string(buffer.data()) != before)
            __builtin_trap();
    } else if (capacity > 0 && buffer[0] != 0) {
        __builtin_trap();
    }
    for (unsigned int i = capacity; i < buffer.size(); ++i)
        if (buffer[i] != '\x5A')
            __builtin_trap();
    return 0;
}
