// The plot as the program must draw it, worked out the plain way: the
// geometry of the points on show, and painters that draw every mark with its
// own pen change and call, scan the chromosome table linearly and draw every
// label. The painter fuzzer and the tests compare the program's pictures with
// these, byte for byte.
#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cmath>

// The plot area of the points on show, and the pixel mapping over it.
struct ReferenceGeometry {
    int realMinX = 0, realMaxX = 0; // first and last position (0 for none)
    double realMaxY = 0;            // largest score
    int minX = 0, maxX = 0;         // the area: positions padded by trunc(5 % of the spread)
    double minY = 0, maxY = 0;      //           scores padded by 5 % of their spread
    int width = 0, height = 0;      // the picture: 80 % x 75 % of the screen
    // Mapping: column trunc((p - originX) * pixPerX), row height -
    // trunc((v - originY) * pixPerY). Where a spread is zero the drawing
    // alone runs over two units, from one below the area.
    int originX = 0;
    double pixPerX = 0;
    double originY = 0, pixPerY = 0;

    // A point far off the picture (positions out of order put some there)
    // lands a billion pixels out at most, not on an undefined int.
    static int pixel(double v) { return std::isnan(v) ? 0 : int(std::max(-1e9, std::min(v, 1e9))); }
    int column(int position) const { return pixel(double(qint64(position) - originX) * pixPerX); }
    int row(double value) const { return height - pixel((value - originY) * pixPerY); }
    // Back from a box edge, as the zoom does.
    qint64 positionAt(int column) const { return qint64(column / pixPerX) + originX; }
    double valueAt(int row) const { return (height - row) / pixPerY + originY; }
};

ReferenceGeometry referenceGeometry(const QList<int> &positions, const QList<double> &values, QSize screen);

// What the chromosome table gives the genome-wide picture.
struct ReferenceTable {
    QVector<int> startValue;
    QVector<int> colorValue;
    QStringList tags;
};

// Counts of chromosome labels drawn into rectangles of zero and of negative
// width (the genome-wide painter's two edge cases).
struct LabelWidths {
    int zero = 0, negative = 0;
};

QImage referenceGenomeWide(const QList<int> &positions, const QList<double> &values, int count,
                           const ReferenceGeometry &g, bool stripes, const ReferenceTable &table,
                           const QString &shortName, LabelWidths *widths = nullptr);

// `edit1` and `edit2` are the texts of the two line edits.
QImage referenceChromosome(const QList<int> &positions, const QList<double> &values, int count,
                           const ReferenceGeometry &g, bool stripes, bool segments, const QString &edit1,
                           const QString &edit2);

// "" when the images are equal, else where they first differ.
QString imageDifference(const QImage &actual, const QImage &expected);

// Where the program's two plots of these points (laid out for a screen of
// this size, painted with this table, these threshold lines and this way of
// drawing, this range typed) differ from the reference's; empty if nowhere.
QString paintMismatch(const QList<int> &positions, const QList<double> &values, const ReferenceTable &table, bool stripes,
                      bool segments, const QString &edit1, const QString &edit2, QSize screen, LabelWidths *widths = nullptr);
