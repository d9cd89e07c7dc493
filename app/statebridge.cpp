#include "statebridge.h"

#include "state.h"

#include <tuple>

namespace {

// The geometry's globals and a Geometry's fields, in one order, so that
// one assignment copies either way.
auto geometryGlobals()
{
    return std::tie(realMinX, realMaxX, minX, maxX, realMaxY, minY, maxY, fwidth, fheight, ymargin, pixPerX,
                    pixPerY);
}

auto fieldsOf(Geometry &g)
{
    return std::tie(g.realMinX, g.realMaxX, g.minX, g.maxX, g.realMaxY, g.minY, g.maxY, g.fwidth, g.fheight,
                    g.ymargin, g.pixPerX, g.pixPerY);
}

} // namespace

Geometry shownGeometry()
{
    Geometry g;
    fieldsOf(g) = geometryGlobals();
    return g;
}

void setShownGeometry(const Geometry &g)
{
    Geometry copy = g;
    geometryGlobals() = fieldsOf(copy);
}

PixelMap shownMap()
{
    return pixelMap(shownGeometry());
}

void recordGenomeWideGeometry()
{
    GLOBAL_minX = minX;
    GLOBAL_maxX = maxX;
    GLOBAL_pixPerX = pixPerX;
    GLOBAL_pixPerY = pixPerY;
}

void restoreGenomeWideGeometry()
{
    pixPerX = GLOBAL_pixPerX;
    pixPerY = GLOBAL_pixPerY;
    minX = GLOBAL_minX;
    maxX = GLOBAL_maxX;
}

void setChromosomeTable(ChromosomeTable &&table)
{
    Tag = std::move(table.tags);
    Start_index = std::move(table.startIndex);
    End_index = std::move(table.endIndex);
    Start_value = std::move(table.startValue);
    End_value = std::move(table.endValue);
    Color_value = std::move(table.colorValue);
    Start_offset = std::move(table.startOffset);
}

void clearChromosomeTable()
{
    setChromosomeTable(ChromosomeTable());
}

ChromosomeLabels chromosomeLabels()
{
    return ChromosomeLabels{Start_value, Color_value, Tag};
}

Points shownPoints()
{
    return Points{Pos_list, Value_list};
}

void setShownPoints(Points &&points)
{
    Pos_list = std::move(points.positions);
    Value_list = std::move(points.values);
}

Points remainingPoints()
{
    return Points{Pos_list2, Value_list2};
}

void setLoadedPoints(QList<int> &&positions, QList<double> &&values)
{
    Pos_list = std::move(positions);
    Value_list = std::move(values);
    Pos_list2 = Pos_list;
    Value_list2 = Value_list;
}
