// Plot geometry: axis ranges, pixmap size and scales laid out from the
// points on show, and the pixel mapping every plot and selection shares.
#pragma once

#include <QList>
#include <QRect>

struct Geometry {
    int realMinX = 0, realMaxX = 0; // first and last position, unpadded
    int minX = 0, maxX = 0;         // padded x axis ends
    double realMaxY = 0;            // largest value, unpadded
    double minY = 0, maxY = 0;      // padded y axis ends
    int fwidth = 0, fheight = 0;    // pixmap size
    int ymargin = 0;
    double pixPerX = 0, pixPerY = 0;
};

// Lays out the plot of the given points on a screen of the given size.
// Degenerate spreads get a finite layout: a zero x spread is widened by one
// unit each side, a zero value spread by one score unit each side, so a single
// point sits in the middle of the plot.
Geometry computeGeometry(const QList<int> &positions, const QList<double> &values, const QRect &screen);

// A double truncated toward zero into an int, clamped far outside any
// pixmap so that no out-of-range or NaN value is ever converted.
int truncToInt(double value);

// Turns positions and values into pixel columns and rows.
struct PixelMap {
    int minX = 0;
    double pixPerX = 0;
    double minY = 0;
    double pixPerY = 0;
    int fheight = 0;
    int ymargin = 0;

    int x(int position) const { return truncToInt(double(qint64(position) - minX) * pixPerX); }
    int y(double value) const { return fheight - ymargin - truncToInt((value - minY) * pixPerY); }
};

// Inverse mapping of a pixel column (truncated toward zero) and row.
qint64 positionAtColumn(int column, int minX, double pixPerX);
double valueAtRow(int row, int fheight, int ymargin, double minY, double pixPerY);
