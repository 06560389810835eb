// libFuzzer target for PercentOf: no undefined behaviour (the sanitizers
// watch the conversion), 0 only when nothing is done, never more than one
// above the exact integer percentage, and never falling as `done` grows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include "common/percent.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    uint32_t total, done;
    memcpy(&total, data, 4);
    memcpy(&done, data + 4, 4);
    unsigned int value = PercentOf(total, done);
    if ((value == 0) != (done == 0))
        __builtin_trap();
    if (total != 0 && done != 0) {
        uint64_t exact = static_cast<uint64_t>(done) * 100 / total;
        uint64_t limit = exact + 1 > 0xFFFFFFFFu ? 0xFFFFFFFFu : exact + 1;
        if (value > limit)
            __builtin_trap();
        if (done < 0xFFFFFFFFu && PercentOf(total, done + 1) < value)
            __builtin_trap();
    }
    return 0;
}
