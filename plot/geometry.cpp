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

Geometry computeGeometry(const QList<int> &positions, const QList<double> &values, const QRect &screen)
{
    Geometry g;
    if (!positions.isEmpty()) {
        g.realMinX = positions.first();
        g.realMaxX = positions.last();
    }
    double low = 9999999.9, high = -9999999.9;
    const double *value = values.constData();
    for (qsizetype i = 0; i < positions.size(); ++i) {
        // Written as selections, the very minimum and maximum instructions'
        // rule, so that the compiler may use them on several values at once.
        low = value[i] < low ? value[i] : low;
        high = value[i] > high ? value[i] : high;
    }
    g.realMaxY = high;
    const double d = (high - low) * 0.05;
    g.minY = low - d;
    g.maxY = high + d;

    const qint64 pad = qint64(double(qint64(g.realMaxX) - g.realMinX) * 0.05);
    g.minX = clampToInt(g.realMinX - pad);
    g.maxX = clampToInt(g.realMaxX + pad);

    g.fwidth = int(0.8 * screen.width());
    g.fheight = int(0.75 * screen.height());
    g.ymargin = 0;
    // The scales span the drawn axes, which a zero spread widens on both sides.
    const qint64 widenX = g.minX - qint64(axisOriginX(g.minX, g.maxX));
    const double widenY = g.minY - axisOriginY(g.minY, g.maxY);
    g.pixPerX = g.fwidth / double(qint64(g.maxX) - g.minX + 2 * widenX);
    g.pixPerY = g.fheight / (g.maxY - g.minY + 2 * widenY);
    return g;
}

int axisOriginX(int minX, int maxX)
{
    return minX == maxX ? clampToInt(qint64(minX) - 1) : minX;
}

double axisOriginY(double minY, double maxY)
{
    return minY == maxY ? minY - 1 : minY;
}

PixelMap pixelMap(const Geometry &g)
{
    return PixelMap{axisOriginX(g.minX, g.maxX), g.pixPerX, axisOriginY(g.minY, g.maxY),
                    g.pixPerY, g.fheight, g.ymargin};
}

qint64 positionAtColumn(int column, int originX, double pixPerX)
{
    const double units = column / pixPerX;
    constexpr double limit = 1e15;
    return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + originX;
}

double valueAtRow(int row, int fheight, int ymargin, double originY, double pixPerY)
{
    return (fheight - ymargin - row) / pixPerY + originY;
}
