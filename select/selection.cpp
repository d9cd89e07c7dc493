#include "selection.h"

#include <algorithm>
#include <utility>

Box settleBox(Box b, int width, int height)
{
    for (int *v : {&b.x1, &b.y1, &b.x2, &b.y2})
        *v = std::max(*v, 0);
    b.x1 = std::min(b.x1, width);
    b.y1 = std::min(b.y1, height);
    b.x2 = std::min(b.x2, width);
    b.y2 = std::min(b.y2, height);
    if (b.x1 > b.x2)
        std::swap(b.x1, b.x2);
    if (b.y1 > b.y2)
        std::swap(b.y1, b.y2);
    return b;
}

Pick pickChromosome(int x1, int x2, double pixPerX, int originX, const QVector<int> &startValue,
                    const QVector<int> &endValue)
{
    Pick pick;
    pick.point = int((qint64(x1) + x2) / 2);
    pick.position = positionAtColumn(pick.point, originX, pixPerX);
    for (qsizetype i = 0; i < startValue.size(); ++i) {
        if (startValue[i] <= pick.position && pick.position <= endValue[i]) {
            pick.index = int(i);
            break;
        }
    }
    return pick;
}

Area boxArea(const Box &box, const PixelMap &map)
{
    Area a;
    const qint64 posA = positionAtColumn(box.x1, map.originX, map.pixPerX);
    const qint64 posB = positionAtColumn(box.x2, map.originX, map.pixPerX);
    a.lo = std::min(posA, posB);
    a.hi = std::max(posA, posB);
    const double valA = valueAtRow(box.y1, map.fheight, map.ymargin, map.originY, map.pixPerY);
    const double valB = valueAtRow(box.y2, map.fheight, map.ymargin, map.originY, map.pixPerY);
    a.hiValue = valA > valB ? valA : valB;
    a.loValue = valA > valB ? valB : valA;
    return a;
}

namespace {

Points filterPoints(const QList<int> &positions, const QList<double> &values, const Area &area, bool inside)
{
    Points out;
    for (qsizetype k = 0; k < positions.size(); ++k) {
        if (area.contains(positions[k], values[k]) == inside) {
            out.positions.append(positions[k]);
            out.values.append(values[k]);
        }
    }
    return out;
}

} // namespace

Points pointsInside(const QList<int> &positions, const QList<double> &values, const Area &area)
{
    return filterPoints(positions, values, area, true);
}

Points pointsOutside(const QList<int> &positions, const QList<double> &values, const Area &area)
{
    return filterPoints(positions, values, area, false);
}
