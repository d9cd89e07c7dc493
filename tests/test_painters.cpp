// The two painters, pixel by pixel. A plain reference painter below draws
// every mark with its own pen change and call, scans the chromosome table
// linearly and draws every label; the program's batched painters must give
// the very same bytes. Other tests read pixel colours at computed positions.
#include "plot/geometry.h"
#include "plot/painters.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <climits>

namespace {

// ---- Reference painters: one mark, one pen change, one call ----

int refX(const PlotFrame &f, int p) { return int(double(p - f.map.minX) * f.map.pixPerX); }
int refY(const PlotFrame &f, double v) { return f.height - f.map.ymargin - int((v - f.map.minY) * f.map.pixPerY); }
QFont refFont(int size) { return QFont("Calibri", size, QFont::Normal, false); }

// The chromosome a genome-wide x lies under: the last k >= 1 whose start is
// at most x, else 0.
int linearScan(const QVector<int> &starts, int x)
{
    for (int k = int(starts.size()) - 1; k >= 1; --k) {
        if (starts[k] <= x)
            return k;
    }
    return 0;
}

// White pixmap, pen width 2, the threshold lines and their labels if asked.
void refSetUp(QPixmap &pixmap, QPainter &painter, QPen &pen, const PlotFrame &f)
{
    pixmap.fill(Qt::white);
    painter.begin(&pixmap);
    pen = painter.pen();
    pen.setWidth(2);
    const double levels[] = {7.3, 6, 5, 4, 3};
    const QColor colours[] = {{25, 180, 25}, {140, 140, 140}, {170, 170, 170}, {200, 200, 200}, {230, 230, 230}};
    for (int i = 0; f.stripes && i < 5; ++i) {
        pen.setColor(colours[i]);
        painter.setPen(pen);
        const QLine line(0, refY(f, levels[i]), f.width, refY(f, levels[i]));
        painter.drawLines(&line, 1);
        painter.drawText(QRect(QPoint(0, 0), QPoint(f.width - 1, line.y1() - 1)), 0x41, QString::number(levels[i]));
    }
}

void refTitle(QPainter &painter, QPen &pen, const PlotFrame &f, const QString &text)
{
    pen.setColor(Qt::black);
    painter.setPen(pen);
    painter.setFont(refFont(12));
    painter.drawText(QRect(QPoint(0, 0), QPoint(f.width - 1, 19)), 0x84, text);
}

// Counts the labels of zero and negative width it draws.
QImage referenceGenomeWide(const QList<int> &positions, const QList<double> &values, int count, const PlotFrame &f,
                           const ChromosomeLabels &table, int &zeroWidthLabels, int &negativeWidthLabels)
{
    QPixmap pixmap(f.width, f.height);
    QPainter painter;
    QPen pen;
    refSetUp(pixmap, painter, pen, f);
    int red = 255, lastX = 0, spanStart = 0;
    QString current, previous = table.tags[0];
    const auto label = [&](const QString &text) {
        zeroWidthLabels += lastX == spanStart;
        negativeWidthLabels += lastX < spanStart;
        painter.setFont(refFont(10));
        painter.drawText(QRect(QPoint(spanStart, 0), QPoint(lastX - 1, f.height - 1)), 0xc4, text);
    };
    for (int i = 0; i < count; ++i) {
        const int x = refX(f, positions[i]);
        if (i == 0)
            lastX = spanStart = x;
        const int k = linearScan(table.startValue, positions[i]);
        if (k >= 1)
            red = table.colorValue[k];
        current = table.tags[k];
        if (current != previous) {
            label(previous);
            spanStart = x;
        }
        previous = current;
        pen.setColor(QColor(red, 50, 50));
        painter.setPen(pen);
        const QPoint point(x, refY(f, values[i]));
        painter.drawPoints(&point, 1);
        lastX = x;
    }
    label(current);
    refTitle(painter, pen, f, "gwas.txt, max(-logP)=" + QString::number(f.realMaxY, 'g', 6));
    painter.end();
    return pixmap.toImage();
}

QImage referenceChromosome(const QList<int> &positions, const QList<double> &values, int count, const PlotFrame &f,
                           const ChromosomePlotOptions &o)
{
    QPixmap pixmap(f.width, f.height);
    QPainter painter;
    QPen pen;
    refSetUp(pixmap, painter, pen, f);
    pen.setWidth(4);
    const HighlightRange range = highlightRange(o.lineEdit1, o.lineEdit2);
    const auto pointAt = [&](int i) { return QPoint(refX(f, positions[i]), refY(f, values[i])); };
    for (int i = o.segments ? 1 : 0; i < count; ++i) {
        pen.setColor(range.contains(positions[i]) ? QColor(255, 50, 50) : QColor(50, 50, 255));
        painter.setPen(pen);
        const QPoint point = pointAt(i);
        const QLine segment(pointAt(std::max(i - 1, 0)), point);
        if (o.segments)
            painter.drawLines(&segment, 1);
        else
            painter.drawPoints(&point, 1);
    }
    refTitle(painter, pen, f, "max=" + QString::number(f.realMaxY, 'g', 6));
    painter.setFont(refFont(10));
    const QRect bottom(QPoint(0, 0), QPoint(f.width - 1, f.height - 3));
    painter.drawText(bottom, 0x41, groupThousands(o.realMinX));
    painter.drawText(bottom, 0x42, groupThousands(o.realMaxX));
    painter.drawText(bottom, 0xc4, "|<-- " + groupThousands(o.realMaxX - o.realMinX) + " -->|");
    painter.end();
    return pixmap.toImage();
}

// ---- Helpers ----

// A rectangle of the picture and the colour all its pixels must have.
struct Patch { QRect rect; QColor colour; };

// "" when every patch has its colour, else the first pixel that has not.
QString patchMismatch(const QImage &image, const QList<Patch> &patches)
{
    for (const Patch &patch : patches) {
        for (int y = patch.rect.top(); y <= patch.rect.bottom(); ++y) {
            for (int x = patch.rect.left(); x <= patch.rect.right(); ++x) {
                if (QColor(image.pixel(x, y)) != patch.colour)
                    return QString("(%1, %2) is %3").arg(x).arg(y).arg(QColor(image.pixel(x, y)).name());
            }
        }
    }
    return QString();
}

const QColor kWhite(255, 255, 255), kRed(255, 50, 50), kGrey(50, 50, 50), kBlue(50, 50, 255);

// 400 x 300 pixels; x(p) = trunc((p - 1000) * 0.25), y(v) = 300 - trunc((v - 0.5) * 20.5).
PlotFrame smallFrame(bool stripes)
{
    return PlotFrame{400, 300, PixelMap{1000, 0.25, 0.5, 20.5, 300, 0}, 9.6, stripes};
}

// A 1536 x 810 frame (a 1920 x 1080 screen) covering positions 0..maxPosition and values 0..12.
PlotFrame largeFrame(int maxPosition, bool stripes)
{
    return plotFrame(computeGeometry({0, maxPosition}, {0.0, 12.0}, QRect(0, 0, 1920, 1080)), stripes);
}

ChromosomePlotOptions chromosomeOptions(const QList<int> &positions, bool segments, const QString &t1 = QString(),
                                        const QString &t2 = QString())
{
    return ChromosomePlotOptions{positions.value(0), positions.isEmpty() ? 0 : positions.last(), segments, t1, t2};
}

} // namespace

class PaintersTest : public QObject
{
    Q_OBJECT
private slots:
    // Runs of several chromosomes, a label that returns, unsorted positions
    // (label rectangles of negative width), runs of one column (zero width),
    // points before the second chromosome's start, thousands of overlaps.
    void genomeWideMatchesReference()
    {
        struct Case { quint32 seed; int chromosomes; bool unsortedTable, stripes; int count; }; // count -1: all
        const Case cases[] = {{1, 6, false, true, -1}, {2, 6, true, false, -1}, {4, 2, false, true, -1},
                              {5, 1, false, true, -1}, {6, 6, true, true, 2300}, {7, 6, false, true, 0}};
        for (const auto &[seed, chromosomes, unsortedTable, stripes, wanted] : cases) {
            QRandomGenerator rng(seed);
            const QStringList names = {"1", "2", "3", "1", "X", "Y"}; // "1" returns as a fourth entry
            ChromosomeLabels table{QVector<int>{1000, 5000, 9000, 13000, 17000, 21000}.first(chromosomes),
                                   QVector<int>{255, 50, 255, 50, 255, 50}.first(chromosomes),
                                   names.first(chromosomes)};
            if (unsortedTable) { // and a duplicate start
                std::swap(table.startValue[1], table.startValue[2]);
                table.startValue[5] = table.startValue[4];
            }
            const int maxPosition = 1000 + 4000 * chromosomes;
            QList<int> positions{0};
            QList<double> values{1.0};
            while (positions.size() < 3000) {
                const int k = int(rng.bounded(chromosomes));
                for (int run = rng.bounded(4) == 0 ? 1 : 1 + int(rng.bounded(30)); run > 0; --run) {
                    const bool early = rng.bounded(20) == 0; // before any other chromosome's start
                    positions.append(early ? int(rng.bounded(5000)) : 1000 + 4000 * k + int(rng.bounded(4000)));
                    values.append(rng.bounded(48) * 0.25);
                }
            }
            positions.append(maxPosition);
            values.append(5.0);
            const int count = wanted < 0 ? int(positions.size()) : wanted;
            const PlotFrame frame = largeFrame(maxPosition, stripes);
            int zeroWidthLabels = 0, negativeWidthLabels = 0;
            const QImage expected =
                referenceGenomeWide(positions, values, count, frame, table, zeroWidthLabels, negativeWidthLabels);
            const QImage painted = paintGenomeWide(positions, values, count, frame, table, "gwas.txt").toImage();
            QVERIFY2(painted == expected, qPrintable(QString("seed %1").arg(seed)));
            // The data really holds the labels the skip rule touches.
            QVERIFY(count == 0 || chromosomes == 1 || (zeroWidthLabels > 10 && negativeWidthLabels > 10));
        }
    }

    // Overlapping marks of both colours, ranges typed either way.
    void chromosomeMatchesReference()
    {
        struct Case { quint32 seed; bool segments, stripes; QString text1, text2; int count; };
        const Case cases[] = {
            {11, false, true, "1500000-2200000", "x", 3000}, {12, false, false, "1500000", "2200000", 3000},
            {14, true, true, "1500000-2200000", "", 3000}, {16, true, false, "1800000", "2600000", 2000},
            {17, true, true, "", "", 1}, {18, false, true, "", "", 0}, {19, true, false, "", "", 0}};
        for (const Case &c : cases) {
            QRandomGenerator rng(c.seed);
            QList<int> positions{1000000};
            QList<double> values{2.0};
            while (positions.size() < 2999) {
                positions.append(1000000 + int(rng.bounded(2000000)));
                values.append(rng.bounded(48) * 0.25);
            }
            positions.append(3000000);
            values.append(3.0);
            const PlotFrame frame = largeFrame(3000000, c.stripes);
            const ChromosomePlotOptions options = chromosomeOptions(positions, c.segments, c.text1, c.text2);
            const QImage expected = referenceChromosome(positions, values, c.count, frame, options);
            const QImage painted = paintChromosome(positions, values, c.count, frame, options).toImage();
            QVERIFY2(painted == expected, qPrintable(QString("seed %1").arg(c.seed)));
        }
    }

    void finderMatchesLinearScan()
    {
        QRandomGenerator rng(42);
        const int sizes[] = {0, 1, 2, 3, 5, 8, 40, 300};
        for (int trial = 0; trial < 400; ++trial) {
            QVector<int> starts;
            for (int k = 0; k < sizes[trial % 8]; ++k) // a small range forces duplicates
                starts.append(int(rng.bounded(60)) - 10);
            if (trial % 3 == 0)
                std::sort(starts.begin(), starts.end());
            ChromosomeFinder finder(starts);
            for (int q = 0; q < 300; ++q) { // ascending stretches as in a sorted file, then random jumps
                const int x = q < 100 ? q - 20 : int(rng.bounded(80)) - 20;
                QVERIFY2(finder.find(x) == linearScan(starts, x), qPrintable(QString::number(trial)));
            }
        }
    }

    void genomeWidePixels()
    {
        // Columns: x(998) = trunc(-0.5) = 0, x(1103) = 25, x(1243) = 60, x(1023) = 5, x(1403) = 100.
        // Rows: y(11) = 300 - trunc(215.25) = 85, y(9.6) = 300 - trunc(186.55) = 114.
        ChromosomeLabels table{{1000, 1200, 1300}, {255, 50, 255}, {"1", "2", "3"}};
        const QImage image =
            paintGenomeWide({998, 1103, 1243, 1023, 1403}, {11, 9.6, 9.6, 11, 9.6}, 5, smallFrame(false), table, "f")
                .toImage();
        QCOMPARE(patchMismatch(image, {
                     {QRect(0, 84, 1, 2), kRed},    // first point: 255 before any chromosome was found
                     {QRect(24, 113, 2, 2), kRed},  // first chromosome
                     {QRect(59, 113, 2, 2), kGrey}, // second
                     {QRect(4, 84, 2, 2), kGrey},   // before the second's start: keeps the previous colour
                     {QRect(99, 113, 2, 2), kRed},  // third
                     {QRect(23, 112, 4, 1), kWhite}, {QRect(23, 113, 1, 3), kWhite}, // 2 x 2 only
                     {QRect(200, 40, 200, 60), kWhite}}),
                 QString());
    }

    void chromosomePixels()
    {
        // Dots: x(1103) = 25, x(1243) = 60, x(1403) = 100, x(1199) = 49, x(1503) = 125;
        // y(9.6) = 114, y(11) = 85, y(5) = 208, y(6) = 188.
        const QList<int> positions{1103, 1243, 1403, 1199, 1503};
        const QImage dots = paintChromosome(positions, {9.6, 9.6, 11, 5, 6}, 5, smallFrame(true),
                                            chromosomeOptions(positions, false, "1200-1403")).toImage();
        QCOMPARE(patchMismatch(dots, {
                     {QRect(23, 112, 4, 4), kBlue}, {QRect(58, 112, 4, 4), kRed},
                     {QRect(98, 83, 4, 4), kRed},    // the upper bound is inclusive
                     {QRect(47, 206, 4, 4), kBlue},  // one below the lower bound
                     {QRect(123, 186, 4, 4), kBlue}, // the mark covers the grey line of 6
                     {QRect(22, 111, 6, 1), kWhite}, {QRect(22, 112, 1, 5), kWhite}}), // 4 x 4 only
                 QString());
        // Segments A (25, 114) -> B (60, 114) -> C (100, 114) take their end's colour; B alone is in range.
        const QImage segments = paintChromosome(positions, {9.6, 9.6, 9.6}, 3, smallFrame(false),
                                                chromosomeOptions(positions, true, "1200", "1300")).toImage();
        QCOMPARE(patchMismatch(segments, {{QRect(30, 112, 25, 4), kRed}, {QRect(65, 112, 30, 4), kBlue},
                                          {QRect(30, 111, 25, 1), kWhite}, {QRect(30, 116, 25, 1), kWhite}}),
                 QString());
    }

    // Rows y(v) = 300 - trunc((v - 0.5) * 20.5), two pixels thick, to the right end.
    void thresholdLines()
    {
        const struct { int row; QColor colour; } lines[] = {{161, QColor(25, 180, 25)}, {188, QColor(140, 140, 140)},
            {208, QColor(170, 170, 170)}, {229, QColor(200, 200, 200)}, {249, QColor(230, 230, 230)}};
        for (bool stripes : {true, false}) {
            const QImage images[] = {
                paintGenomeWide({}, {}, 0, smallFrame(stripes), ChromosomeLabels{{0}, {255}, {"1"}}, "f").toImage(),
                paintChromosome({}, {}, 0, smallFrame(stripes), chromosomeOptions({}, false)).toImage()};
            for (const auto &[row, colour] : lines) {
                for (const QImage &image : images) // away from the labels at the left edge
                    QCOMPARE(patchMismatch(image, {{QRect(100, row - 1, 300, 2), stripes ? colour : kWhite},
                                                   {QRect(100, row - 2, 300, 1), kWhite},
                                                   {QRect(100, row + 1, 300, 1), kWhite}}),
                             QString());
            }
        }
    }

    // Text is checked only where it must not be: a chromosome's label stays within the
    // columns of its points (100..199 here, points in rows 113..114).
    void labelStaysUnderItsPoints()
    {
        ChromosomeLabels table{{1403}, {255}, {"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"}};
        const QImage genome =
            paintGenomeWide({1403, 1603, 1503, 1803}, {9.6, 9.6, 9.6, 9.6}, 4, smallFrame(false), table, "f").toImage();
        QCOMPARE(patchMismatch(genome, {{QRect(0, 120, 100, 180), kWhite}, {QRect(200, 120, 200, 180), kWhite}}),
                 QString());
        if (!QFontDatabase::families().isEmpty()) // the label was really drawn
            QVERIFY(!patchMismatch(genome, {{QRect(100, 120, 100, 180), kWhite}}).isEmpty());
    }

    void highlightRangeFromLineEdits()
    {
        struct Case { QString text1, text2; int lo, hi; };
        const Case cases[] = {
            {"1000000-2000000", "7", 1000000, 2000000}, // "lo-hi" in the first, the second ignored
            {"1000000", "2000000", 1000000, 2000000}, {"", "", 0, 0}, {"abc", "5", 0, 0}, {"5", "1e3", 0, 0},
            {"2000000-1000000", "", 2000000, 1000000}, // reversed: kept as typed
            {"-5-10", "", 0, 0}, {"5-", "10", 0, 0},     // three parts: the whole text fails; empty hi fails
            {" 5 - 10 ", "", 5, 10}, {"+5", "+10", 5, 10}, {"1-2147483648", "", 0, 0},
        };
        for (const Case &c : cases) {
            const HighlightRange range = highlightRange(c.text1, c.text2);
            QCOMPARE(QPoint(range.lo, range.hi), QPoint(c.lo, c.hi));
        }
    }

    void thousandsAndTitleNumbers()
    {
        // The sign counts as a character: after "100" comes a comma before it.
        const QList<std::pair<int, QString>> grouped = {{1234567, "1,234,567"}, {999, "999"}, {0, "0"},
            {-1000, "-1,000"}, {-100, "-,100"}, {-10, "-10"}, {INT_MIN, "-2,147,483,648"}};
        for (const auto &[number, text] : grouped)
            QCOMPARE(groupThousands(number), text);
        const QList<std::pair<double, QString>> titles = {{12, "12"}, {12.3456789, "12.3457"},
            {-9999999.9, "-1e+07"}, {1e-5, "1e-05"}, {123456789, "1.23457e+08"}, {-0.0, "0"}};
        for (const auto &[value, text] : titles)
            QCOMPARE(titleNumber(value), text);
    }
};

QTEST_MAIN(PaintersTest)
#include "test_painters.moc"
