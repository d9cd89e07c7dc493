// Plot geometry: axis ranges, pixmap size and scales laid out from the
// points on show, and the pixel mapping every plot and selection shares.
#pragma once

#include <QList>
#include <QRect>

#include <algorithm>
#include <cmath>

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
// minX..maxX and minY..maxY are the area on show, which removal takes out;
// where a spread is zero that area is just the one position or score. Only
// the drawing widens such an axis, by one unit each side (see axisOriginX),
// so the scales stay finite and a single point sits in the middle.
Geometry computeGeometry(const QList<int> &positions, const QList<double> &values, const QRect &screen);

// Where an axis starts on the picture: its low end, or one unit below it
// when the axis has no spread.
int axisOriginX(int minX, int maxX);
double axisOriginY(double minY, double maxY);

// A double truncated toward zero into an int, clamped far outside any
// pixmap so that no out-of-range or NaN value is ever converted. Inline:
// the painters map every point with it.
inline int truncToInt(double value)
{
    constexpr double limit = 1e9;
    if (std::isnan(value))
        return 0;
    return int(std::clamp(value, -limit, limit));
}

// Turns positions and values into pixel columns and rows.
struct PixelMap {
    int originX = 0;    // the position at column 0
    double pixPerX = 0;
    double originY = 0; // the value at row fheight - ymargin
    double pixPerY = 0;
    int fheight = 0;
    int ymargin = 0;

    int x(int position) const { return truncToInt(double(qint64(position) - originX) * pixPerX); }
    int y(double value) const { return fheight - ymargin - truncToInt((value - originY) * pixPerY); }
};

// The mapping of a laid-out plot.
PixelMap pixelMap(const Geometry &g);

// Inverse mapping of a pixel column (truncated toward zero) and row, with
// the axes' origins as the mapping uses them.
qint64 positionAtColumn(int column, int originX, double pixPerX);
double valueAtRow(int row, int fheight, int ymargin, double originY, double pixPerY);
