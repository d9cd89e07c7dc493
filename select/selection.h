// The selection box and what it does to the points: plain functions of
// their input, used by the window's mouse handlers and edit buttons.
#pragma once

#include "plot/geometry.h"

#include <QList>
#include <QVector>

// A box in image-label pixels.
struct Box {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool hasArea() const { return x1 != x2 && y1 != y2; }
};

// The released box: corners clamped to 0..width and 0..height (the bound is
// the size itself), then put in order.
Box settleBox(Box box, int width, int height);

// The chromosome table entry under the box's centre column on the
// genome-wide plot: the first entry whose x range holds it, else entry 0.
struct Pick {
    int index = 0;
    int point = 0;         // the centre column
    qint64 position = 0;   // genome-wide x under it
};
// originX is the genome-wide x at column 0 (see axisOriginX).
Pick pickChromosome(int x1, int x2, double pixPerX, int originX, const QVector<int> &startValue,
                    const QVector<int> &endValue);

// An area of a plot in data units; every bound is inclusive.
struct Area {
    qint64 lo = 0, hi = 0;
    double loValue = 0, hiValue = 0;
    bool contains(int position, double value) const
    {
        return lo <= position && position <= hi && loValue <= value && value <= hiValue;
    }
};

// The area under a box drawn on a plot with the given mapping.
Area boxArea(const Box &box, const PixelMap &map);

struct Points {
    QList<int> positions;
    QList<double> values;
};

// The points inside the area (zoom) or outside it (removal), in order.
// A value that is not a number is never inside.
Points pointsInside(const QList<int> &positions, const QList<double> &values, const Area &area);
Points pointsOutside(const QList<int> &positions, const QList<double> &values, const Area &area);
