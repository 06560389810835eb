// libFuzzer target for MakePath and SplitPath under code page 932's lead
// bytes: no write past any buffer (AddressSanitizer, guard bytes), failure
// leaves an empty result, and a path that splits whole joins back to itself.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include "common/lead_bytes.h"
#include "common/path_helpers.h"

namespace {

const unsigned char GUARD = 0xA5;

// A heap block of exactly `size` usable bytes with guard bytes behind it.
struct Guarded {
    explicit Guarded(size_t size) : size(size), bytes(size + 8, GUARD) {}
    char* data() { return reinterpret_cast<char*>(bytes.data()); }
    void CheckGuards() const
    {
        for (size_t i = size; i < bytes.size(); ++i)
            if (bytes[i] != GUARD)
                __builtin_trap();
    }
    size_t size;
    std::vector<unsigned char> bytes;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    UseCodePage932LeadBytes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // First byte: output capacity; the rest: four parts separated by 0x00.
    unsigned int capacity = data[0] + (size > 1 ? (data[1] & 1) * 256 : 0);
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<std::string> parts;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        size_t zero = text.find('\0', start);
        if (zero == std::string::npos)
            break;
        parts.push_back(text.substr(start, zero - start));
        start = zero + 1;
    }
    parts.push_back(text.substr(start));
    while (parts.size() < 4)
        parts.push_back(std::string());
    std::string path = parts[0] + parts[1] + parts[2] + parts[3];
    path = path.substr(0, strlen(path.c_str()));

    Guarded out(capacity);
    bool made = MakePath(out.data(), capacity, parts[0].c_str(), parts[1].c_str(),
                         parts[2].c_str(), parts[3].c_str());
    out.CheckGuards();
    if (made) {
        if (strlen(out.data()) >= capacity)
            __builtin_trap();
    } else if (capacity > 0 && out.data()[0] != 0) {
        __builtin_trap();
    }

    Guarded drive(PATH_DRIVE_SIZE), dir(PATH_PART_SIZE), name(PATH_PART_SIZE), ext(PATH_PART_SIZE);
    bool whole = SplitPath(path.c_str(), drive.data(), dir.data(), name.data(), ext.data());
    drive.CheckGuards();
    dir.CheckGuards();
    name.CheckGuards();
    ext.CheckGuards();
    if (whole) {
        Guarded joined(4 * PATH_PART_SIZE);
        if (!MakePath(joined.data(), 4 * PATH_PART_SIZE, drive.data(), dir.data(), name.data(), ext.data()))
            __builtin_trap();
        if (path != joined.data())
            __builtin_trap();
    }
    return 0;
}
