// The benchmark programs' clock: milliseconds from the performance counter.
#pragma once

#include <windows.h>

inline double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * count.QuadPart / frequency.QuadPart;
}
