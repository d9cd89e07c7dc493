// What a load of any bytes must hold, checked by the fuzzer on random bytes
// and by the read cases on every case: either a fault, or
//   - the table's runs cover the points end to end, their x ranges follow
//     each other without a gap, the first point has x = 1, colours alternate;
//   - every score is finite;
//   - reading a run back from its recorded offset (and the load's seek
//     points) gives exactly that run's points (a run of one point: the "too
//     few rows" fault), with positions whose hundreds step the same as the
//     genome-wide x did.
#pragma once

#include "data/loads.h"

// The first rule the load of the file at `path` breaks, or an empty text.
QString brokenLoadRule(const GenomeWide &g, const QString &path);
