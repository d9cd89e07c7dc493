// The two painters, pixel by pixel. A plain reference painter draws every
// mark with its own pen change and call, scans the chromosome table linearly
// and draws every label; the program's painters must give the very same
// bytes. Pixel colours at computed positions pin down the reference itself.
#include "plot/geometry.h"
#include "plot/painters.h"
#include "support/reference.h"

#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <climits>

namespace {

const QColor kWhite(255, 255, 255), kRed(255, 50, 50), kGrey(50, 50, 50), kBlue(50, 50, 255), kGreen(25, 180, 25);

// The chromosome a genome-wide x lies under: the last k >= 1 whose start is at most x, else 0.
int linearScan(const QVector<int> &starts, int x)
{
    int k = int(starts.size()) - 1;
    while (k >= 1 && starts[k] > x)
        --k;
    return std::max(k, 0);
}

// The program's frame as the reference painters take it.
ReferenceGeometry referenceOf(const PlotFrame &f)
{
    ReferenceGeometry g;
    g.width = f.width;
    g.height = f.height;
    g.originX = f.map.originX;
    g.pixPerX = f.map.pixPerX;
    g.originY = f.map.originY;
    g.pixPerY = f.map.pixPerY;
    g.realMaxY = f.realMaxY;
    return g;
}

// "" when every rectangle has its colour, else the first pixel that has not.
QString patchMismatch(const QImage &image, const QList<std::pair<QRect, QColor>> &patches)
{
    for (const auto &[rect, colour] : patches)
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (image.pixelColor(x, y) != colour)
                    return QString("(%1, %2) is %3").arg(x).arg(y).arg(image.pixelColor(x, y).name());
    return QString();
}

// 400 x 300 pixels; x(p) = trunc((p - 1000) * 0.25), y(v) = 300 - trunc((v - 0.5) * 20.5).
PlotFrame smallFrame(bool stripes) { return {400, 300, {1000, 0.25, 0.5, 20.5, 300, 0}, 9.6, stripes}; }

} // namespace

class PaintersTest : public QObject
{
    Q_OBJECT
private slots:
    // Runs of several chromosomes, a label that returns, unsorted positions (labels of negative
    // width), runs of one column (zero width), points before the second start; thousands of
    // overlapping marks of both colours; ranges typed either way.
    void paintersMatchReference()
    {
        const QVector<int> sorted{1000, 5000, 9000, 13000, 17000, 21000};
        const QVector<int> unsorted{1000, 9000, 5000, 13000, 17000, 17000}; // and a duplicate start
        struct Case { int seed; QVector<int> starts; bool stripes; int count; bool segments; QString edit1, edit2; };
        const Case cases[] = {{1, sorted, true, 3000, false, "5000-12000", "x"},
                              {2, unsorted, false, 2300, true, "5000", "12000"},
                              {5, {1000}, true, 3000, true, "2000-3500", ""}, {7, sorted, true, 0, false, "", ""},
                              {8, unsorted, false, 1, true, "", ""}};
        for (const Case &c : cases) {
            QRandomGenerator rng(c.seed);
            const int chromosomes = int(c.starts.size());
            const ChromosomeLabels table{c.starts, QVector<int>{255, 50, 255, 50, 255, 50}.first(chromosomes),
                                         QStringList{"1", "2", "3", "1", "X", "Y\u2028Y\u2028Y\u2028Y"}.first(chromosomes)};
            // "1" returns; the last label, of four lines, reaches above the bottom lines.
            QList<int> positions{0};
            QList<double> values{1.0};
            while (positions.size() < c.count) {
                const int k = int(rng.bounded(chromosomes));
                for (int run = rng.bounded(4) == 0 ? 1 : 1 + int(rng.bounded(30)); run > 0; --run) {
                    const int base = rng.bounded(20) == 0 ? 0 : 1000 + 4000 * k; // now and then before any other start
                    positions.append(base + int(rng.bounded(4000)));
                    values.append(rng.bounded(48) * 0.25);
                }
            }
            const int end = 1000 + 4000 * chromosomes;
            const PlotFrame frame = plotFrame(computeGeometry({0, end}, {0.0, 12.0}, {0, 0, 1920, 1080}), c.stripes);
            const ChromosomePlotOptions options{0, end, c.segments, highlightRange(c.edit1, c.edit2)};
            LabelWidths widths;
            ReferenceGeometry reference = referenceOf(frame);
            reference.realMinX = 0;
            reference.realMaxX = end;
            const QImage genome = referenceGenomeWide(positions, values, c.count, reference, c.stripes,
                                                      {table.startValue, table.colorValue, table.tags}, "gwas.txt",
                                                      &widths);
            const QImage chromosome = referenceChromosome(positions, values, c.count, reference, c.stripes,
                                                          c.segments, c.edit1, c.edit2);
                        QCOMPARE(imageDifference(paintGenomeWide(positions, values, c.count, frame, table, "gwas.txt").toImage(),
                                     genome), QString());
            QCOMPARE(imageDifference(paintChromosome(positions, values, c.count, frame, options).toImage(),
                                     chromosome), QString());
            // The data really holds the labels the skip rule touches.
            QVERIFY(c.count <= 1 || chromosomes == 1 || (widths.zero > 10 && widths.negative > 10));
        }
    }

    void finderMatchesLinearScan()
    {
        QRandomGenerator rng(42);
        for (int trial = 0; trial < 400; ++trial) {
            QVector<int> starts(QList{0, 1, 2, 3, 5, 8, 40, 300}[trial % 8]); // a small range of values: duplicates
            std::generate(starts.begin(), starts.end(), [&] { return int(rng.bounded(60)) - 10; });
            if (trial % 3 == 0)
                std::sort(starts.begin(), starts.end());
            ChromosomeFinder finder(starts);
            for (int q = 0; q < 300; ++q) { // an ascending stretch as in a sorted file, then random jumps
                const int x = q < 100 ? q - 20 : int(rng.bounded(80)) - 20;
                QVERIFY2(finder.find(x) == linearScan(starts, x), qPrintable(QString::number(trial)));
            }
        }
    }

    // Columns x(998) = trunc(-0.5) = 0, x(1103) = 25, x(1243) = 60, x(1023) = 5, x(1403) = 100,
    // x(1199) = 49, x(1503) = 125; rows y(11) = 300 - trunc(215.25) = 85, y(9.6) = 114, y(5) = 208,
    // y(6) = 188; threshold rows y(7.3) = 161 and y(3) = 249, two pixels thick, only when asked for.
    void pixelsAtComputedPositions()
    {
        // Genome-wide, 2 x 2 marks: red 255 before any chromosome was found, then chromosomes 1, 2, 3;
        // the point at x(1023), before the second chromosome's start, keeps the previous colour.
        const QImage genome = paintGenomeWide({998, 1103, 1243, 1023, 1403}, {11, 9.6, 9.6, 11, 9.6}, 5,
                                              smallFrame(false), {{1000, 1200, 1300}, {255, 50, 255}, {"1", "2", "3"}},
                                              "f").toImage();
        QCOMPARE(patchMismatch(genome, {{QRect(0, 84, 1, 2), kRed}, {QRect(24, 113, 2, 2), kRed},
                                        {QRect(59, 113, 2, 2), kGrey}, {QRect(4, 84, 2, 2), kGrey},
                                        {QRect(99, 113, 2, 2), kRed}, {QRect(23, 112, 4, 1), kWhite},
                                        {QRect(100, 160, 300, 2), kWhite}}), QString());
        // Chromosome dots, 4 x 4, range 1200..1403 inclusive (x(1199) is one below), over the threshold lines.
        const QList<int> positions{1103, 1243, 1403, 1199, 1503};
        const QImage dots = paintChromosome(positions, {9.6, 9.6, 11, 5, 6}, 5, smallFrame(true),
                                            {1103, 1503, false, {1200, 1403}}).toImage();
        QCOMPARE(patchMismatch(dots, {{QRect(23, 112, 4, 4), kBlue}, {QRect(58, 112, 4, 4), kRed},
                                      {QRect(98, 83, 4, 4), kRed}, {QRect(47, 206, 4, 4), kBlue},
                                      {QRect(123, 186, 4, 4), kBlue}, {QRect(22, 111, 6, 1), kWhite},
                                      {QRect(130, 160, 270, 2), kGreen}, {QRect(130, 162, 270, 1), kWhite},
                                      {QRect(130, 248, 270, 2), QColor(230, 230, 230)}}), QString());
        // Segments A (25, 114) -> B (60, 114) -> C (100, 114) take their end's colour; B alone is in range.
        const QImage segments = paintChromosome(positions, {9.6, 9.6, 9.6}, 3, smallFrame(false),
                                                {1103, 1503, true, {1200, 1300}}).toImage();
        QCOMPARE(patchMismatch(segments, {{QRect(30, 112, 25, 4), kRed}, {QRect(65, 112, 30, 4), kBlue},
                                          {QRect(30, 111, 25, 1), kWhite}, {QRect(30, 116, 25, 1), kWhite}}),
                 QString());
    }

    // The highlight range: "lo-hi" in the first edit ignores the second; reversed ranges stay as
    // typed; three parts, an empty part or an overflow fail as a whole. Grouped thousands: the sign
    // counts as a character, so after "100" comes a comma before it. Titles: %g, and 0 for -0.
    void textsReadAndWritten()
    {
        for (const auto &[text1, text2, lo, hi] : QList<std::tuple<QString, QString, int, int>>{
                 {"100-200", "7", 100, 200}, {"100", "200", 100, 200}, {"abc", "5", 0, 0}, {"200-100", "", 200, 100},
                 {"-5-10", "", 0, 0}, {"5-10-20", "", 0, 0}, {"5-", "10", 0, 0}, {" 5 - 10 ", "", 5, 10}, {"1-2147483648", "", 0, 0}})
            QCOMPARE(QPoint(highlightRange(text1, text2).lo, highlightRange(text1, text2).hi), QPoint(lo, hi));
        for (const auto &[number, text] : QList<std::pair<int, QString>>{
                 {1234567, "1,234,567"}, {999, "999"}, {-1000, "-1,000"}, {-100, "-,100"}, {INT_MIN, "-2,147,483,648"}})
            QCOMPARE(groupThousands(number), text);
        for (const auto &[value, text] : QList<std::pair<double, QString>>{
                 {12, "12"}, {12.3456789, "12.3457"}, {-9999999.9, "-1e+07"}, {1e-5, "1e-05"}, {-0.0, "0"}})
            QCOMPARE(titleNumber(value), text);
    }
};

QTEST_MAIN(PaintersTest)
#include "test_painters.moc"
