#include "geometry.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

int clampToInt(qint64 v)
{
    return int(std::clamp<qint64>(v, INT_MIN, INT_MAX));
}

} // namespace

int truncToInt(double value)
{
    constexpr double limit = 1e9;
    if (std::isnan(value))
        return 0;
    return int(std::clamp(value, -limit, limit));
}

Geometry computeGeometry(const QList<int> &positions, const QList<double> &values, const QRect &screen)
{
    Geometry g;
    if (!positions.isEmpty()) {
        g.realMinX = positions.first();
        g.realMaxX = positions.last();
    }
    double low = 9999999.9, high = -9999999.9;
    for (qsizetype i = 0; i < positions.size(); ++i) {
        const double v = values[i];
        if (v < low)
            low = v;
        if (v > high)
            high = v;
    }
    g.realMaxY = high;
    double d = (high - low) * 0.05;
    if (high == low) // all values equal: keep them off the plot's edges
        d = 1;
    g.minY = low - d;
    g.maxY = high + d;

    const qint64 pad = qint64(double(qint64(g.realMaxX) - g.realMinX) * 0.05);
    qint64 left = g.realMinX - pad, right = g.realMaxX + pad;
    if (left == right) { // one position on show: put it in the middle
        --left;
        ++right;
    }
    g.minX = clampToInt(left);
    g.maxX = clampToInt(right);

    g.fwidth = int(0.8 * screen.width());
    g.fheight = int(0.75 * screen.height());
    g.ymargin = 0;
    g.pixPerX = g.fwidth / double(qint64(g.maxX) - g.minX);
    g.pixPerY = g.fheight / (g.maxY - g.minY);
    return g;
}

qint64 positionAtColumn(int column, int minX, double pixPerX)
{
    const double units = column / pixPerX;
    constexpr double limit = 1e15;
    return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + minX;
}

double valueAtRow(int row, int fheight, int ymargin, double minY, double pixPerY)
{
    return (fheight - ymargin - row) / pixPerY + minY;
}
