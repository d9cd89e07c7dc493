// Moves values between the program-wide state and the plain structs that
// the logic takes and returns: the one place that knows both.
#pragma once

#include "data/loads.h"
#include "plot/geometry.h"
#include "plot/painters.h"
#include "select/selection.h"

// The geometry of the plot last laid out, and its pixel mapping.
Geometry shownGeometry();
void setShownGeometry(const Geometry &g);
PixelMap shownMap();

// The genome-wide plot's geometry, recorded at the first layout of a file
// (GLOBAL_minX ...), and put back in force to map a box drawn on it.
void recordGenomeWideGeometry();
void restoreGenomeWideGeometry();

// The chromosome table of the genome-wide load.
void setChromosomeTable(ChromosomeTable &&table);
void clearChromosomeTable();
ChromosomeLabels chromosomeLabels();

// The points on show (working lists) and the remaining points.
Points shownPoints();
void setShownPoints(Points &&points);
Points remainingPoints();
// A load's points: on show, and kept as the remaining points.
void setLoadedPoints(QList<int> &&positions, QList<double> &&values);
