#include "statebridge.h"

#include "state.h"

Geometry shownGeometry()
{
    Geometry g;
    g.realMinX = realMinX;
    g.realMaxX = realMaxX;
    g.minX = minX;
    g.maxX = maxX;
    g.realMaxY = realMaxY;
    g.minY = minY;
    g.maxY = maxY;
    g.fwidth = fwidth;
    g.fheight = fheight;
    g.ymargin = ymargin;
    g.pixPerX = pixPerX;
    g.pixPerY = pixPerY;
    return g;
}

void setShownGeometry(const Geometry &g)
{
    realMinX = g.realMinX;
    realMaxX = g.realMaxX;
    minX = g.minX;
    maxX = g.maxX;
    realMaxY = g.realMaxY;
    minY = g.minY;
    maxY = g.maxY;
    fwidth = g.fwidth;
    fheight = g.fheight;
    ymargin = g.ymargin;
    pixPerX = g.pixPerX;
    pixPerY = g.pixPerY;
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
