#include "reference.h"

#include "plot/geometry.h"
#include "plot/painters.h" // the program's, and groupThousands, its rule pinned by test_rules

#include <QFont>
#include <QPainter>

#include <algorithm>

ReferenceGeometry referenceGeometry(const QList<int> &positions, const QList<double> &values, QSize screen)
{
    ReferenceGeometry g;
    if (!positions.isEmpty()) {
        g.realMinX = positions.first();
        g.realMaxX = positions.last();
    }
    double low = 9999999.9, high = -9999999.9;
    for (double v : values) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    g.realMaxY = high;
    const double d = (high - low) * 0.05;
    g.minY = low - d;
    g.maxY = high + d;
    const int pad = int(double(qint64(g.realMaxX) - g.realMinX) * 0.05);
    g.minX = g.realMinX - pad;
    g.maxX = g.realMaxX + pad;
    g.width = int(0.8 * screen.width());
    g.height = int(0.75 * screen.height());
    const bool flatX = g.minX == g.maxX, flatY = g.minY == g.maxY;
    g.originX = flatX ? g.minX - 1 : g.minX;
    g.pixPerX = g.width / (flatX ? 2.0 : double(qint64(g.maxX) - g.minX));
    g.originY = flatY ? g.minY - 1 : g.minY;
    g.pixPerY = g.height / (flatY ? 2.0 : g.maxY - g.minY);
    return g;
}

namespace {

QFont calibri(int size) { return QFont(QStringLiteral("Calibri"), size, QFont::Normal, false); }

// A white picture (of an opaque pixmap's format) with the threshold lines if
// asked for; the pen of width 2.
struct Canvas {
    const ReferenceGeometry &g;
    QImage pixmap;
    QPainter painter;
    QPen pen;

    Canvas(const ReferenceGeometry &geometry, bool stripes) : g(geometry), pixmap(g.width, g.height, QImage::Format_RGB32)
    {
        pixmap.fill(Qt::white);
        painter.begin(&pixmap);
        pen = painter.pen();
        pen.setWidth(2);
        painter.setPen(pen);
        const double levels[] = {7.3, 6, 5, 4, 3};
        const QColor colours[] = {{25, 180, 25}, {140, 140, 140}, {170, 170, 170}, {200, 200, 200}, {230, 230, 230}};
        for (int i = 0; stripes && i < 5; ++i) {
            setColour(colours[i]);
            const int y = g.row(levels[i]);
            const QLine rule(0, y, g.width, y);
            painter.drawLines(&rule, 1);
            painter.drawText(QRect(QPoint(0, 0), QPoint(g.width - 1, y - 1)), 0x41, QString::number(levels[i]));
        }
    }
    void setColour(const QColor &colour)
    {
        pen.setColor(colour);
        painter.setPen(pen);
    }
    void title(const QString &text)
    {
        setColour(Qt::black);
        painter.setFont(calibri(12));
        painter.drawText(QRect(QPoint(0, 0), QPoint(g.width - 1, 19)), 0x84, text);
    }
    QImage finish()
    {
        painter.end();
        return pixmap;
    }
};

} // namespace

QImage referenceGenomeWide(const QList<int> &positions, const QList<double> &values, int count,
                           const ReferenceGeometry &g, bool stripes, const ReferenceTable &table,
                           const QString &shortName, LabelWidths *widths)
{
    Canvas c(g, stripes);
    LabelWidths ignored;
    LabelWidths &w = widths ? *widths : ignored;
    int red = 255, lastX = 0, spanStart = 0;
    QString current, previous = table.tags.value(0);
    const auto label = [&](const QString &text) {
        w.zero += lastX == spanStart;
        w.negative += lastX < spanStart;
        c.painter.setFont(calibri(10));
        c.painter.drawText(QRect(QPoint(spanStart, 0), QPoint(lastX - 1, g.height - 1)), 0xc4, text);
    };
    for (int i = 0; i < count; ++i) {
        const int x = g.column(positions[i]), y = g.row(values[i]);
        if (i == 0)
            lastX = spanStart = x;
        int k = int(table.startValue.size()) - 1;
        while (k >= 1 && table.startValue[k] > positions[i])
            --k;
        k = std::max(k, 0);
        if (k >= 1)
            red = table.colorValue[k];
        current = table.tags[k];
        if (current != previous) {
            label(previous);
            spanStart = x;
        }
        previous = current;
        c.setColour(QColor(red, 50, 50));
        const QPoint point(x, y);
        c.painter.drawPoints(&point, 1);
        lastX = x;
    }
    label(current);
    c.title(shortName + QStringLiteral(", max(-logP)=") + QString::number(g.realMaxY, 'g', 6));
    return c.finish();
}

QImage referenceChromosome(const QList<int> &positions, const QList<double> &values, int count,
                           const ReferenceGeometry &g, bool stripes, bool segments, const QString &edit1,
                           const QString &edit2)
{
    Canvas c(g, stripes);
    c.pen.setWidth(4);
    const QStringList parts = edit1.split(QLatin1Char('-'));
    bool okLo = false, okHi = false;
    int lo = (parts.size() == 2 ? parts[0] : edit1).toInt(&okLo, 10);
    int hi = (parts.size() == 2 ? parts[1] : edit2).toInt(&okHi, 10);
    if (!okLo || !okHi)
        lo = hi = 0;
    const auto colourOf = [&](int i) {
        return lo <= positions[i] && positions[i] <= hi ? QColor(255, 50, 50) : QColor(50, 50, 255);
    };
    const auto pointOf = [&](int i) { return QPoint(g.column(positions[i]), g.row(values[i])); };
    for (int i = 0; !segments && i < count; ++i) {
        c.setColour(colourOf(i));
        const QPoint point = pointOf(i);
        c.painter.drawPoints(&point, 1);
    }
    for (int i = 1; segments && i < count; ++i) {
        c.setColour(colourOf(i));
        const QLine segment(pointOf(i - 1), pointOf(i));
        c.painter.drawLines(&segment, 1);
    }
    c.title(QStringLiteral("max=") + QString::number(g.realMaxY, 'g', 6));
    c.painter.setFont(calibri(10));
    const QRect bottom(QPoint(0, 0), QPoint(g.width - 1, g.height - 3));
    c.painter.drawText(bottom, 0x41, groupThousands(g.realMinX));
    c.painter.drawText(bottom, 0x42, groupThousands(g.realMaxX));
    c.painter.drawText(bottom, 0xc4, QStringLiteral("|<-- ") + groupThousands(g.realMaxX - g.realMinX)
                                         + QStringLiteral(" -->|"));
    return c.finish();
}

QString imageDifference(const QImage &actualImage, const QImage &expectedImage)
{
    const QImage actual = actualImage.convertToFormat(QImage::Format_RGB32);
    const QImage expected = expectedImage.convertToFormat(QImage::Format_RGB32);
    if (actual == expected)
        return QString();
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width()).arg(actual.height()).arg(expected.width()).arg(expected.height());
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return QStringLiteral("pixel (%1, %2) is %3, expected %4")
                    .arg(x).arg(y).arg(actual.pixelColor(x, y).name(), expected.pixelColor(x, y).name());
    return QString();
}

QString paintMismatch(const QList<int> &positions, const QList<double> &values, const ReferenceTable &table, bool stripes,
                      bool segments, const QString &edit1, const QString &edit2, QSize screen, LabelWidths *widths)
{
    const int count = int(positions.size());
    const Geometry geometry = computeGeometry(positions, values, QRect(QPoint(0, 0), screen));
    const ReferenceGeometry reference = referenceGeometry(positions, values, screen);
    const PlotFrame frame = plotFrame(geometry, stripes);
    const QString genomeWide = imageDifference(
        paintGenomeWide(positions, values, count, frame, {table.startValue, table.colorValue, table.tags}, "gwas.txt").toImage(),
        referenceGenomeWide(positions, values, count, reference, stripes, table, "gwas.txt", widths));
    const QString chromosome = imageDifference(
        paintChromosome(positions, values, count, frame,
                        {geometry.realMinX, geometry.realMaxX, segments, highlightRange(edit1, edit2)}).toImage(),
        referenceChromosome(positions, values, count, reference, stripes, segments, edit1, edit2));
    return genomeWide.isEmpty() ? (chromosome.isEmpty() ? QString() : "chromosome plot: " + chromosome)
                                : "genome-wide plot: " + genomeWide;
}
