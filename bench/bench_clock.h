/* The benchmarks' one clock: seconds from the performance counter. */
#ifndef BENCH_CLOCK_H
#define BENCH_CLOCK_H

#include <windows.h>

inline double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

#endif
