// Some library code that runs while the application starts (measured with
// Qt 6.4 on x86-64) leaves the upper halves of the AVX registers in use.
// Until the next vzeroupper, every legacy SSE instruction then pays a state
// transition penalty: libm's log10, run once per row of a data file, was
// measured 20 times slower inside the program than outside it, and the state
// comes back now and then (after a context switch, it seems). So the libm
// calls of reading and saving go through these wrappers, which clear the
// state right before the call: one instruction.
#pragma once

#include <cmath>

// Whether the processor has the AVX state at all (set before main).
extern const bool kAvxState;

// Inline: it runs once a row.
inline void clearUpperVectorState()
{
#if defined(__x86_64__) || defined(__i386__)
    if (kAvxState)
        __asm__ volatile("vzeroupper"); // keeps the lower halves, all SSE code uses
#endif
}

inline double log10ClearingVectorState(double x)
{
    clearUpperVectorState();
    return std::log10(x);
}

inline double powClearingVectorState(double base, double exponent)
{
    clearUpperVectorState();
    return std::pow(base, exponent);
}
