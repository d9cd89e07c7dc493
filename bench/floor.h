// The bare reading that the open stage is measured against: the file
// mapped, cut at line ends into one part per thread, each line's position
// and p-value converted with std::from_chars and the score taken with
// log10. No layout rules, no runs, no painting: what reading the numbers
// costs at least on this machine.
#pragma once

#include <cstdint>

struct FloorResult {
    bool ok = false; // false: not a plain text file with a header it understands
    double seconds = 0;
    int64_t rows = 0; // kept: the p-value converted and above zero
};

FloorResult readFloor(const char *path, int threads);
