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

struct ReferenceStats {
    int zeroWidthLabels = 0, negativeWidthLabels = 0, colourChanges = 0;
};

int refX(const PlotFrame &f, int p) { return int(double(p - f.map.minX) * f.map.pixPerX); }
int refY(const PlotFrame &f, double v) { return f.height - f.map.ymargin - int((v - f.map.minY) * f.map.pixPerY); }
QFont refFont(int size) { return QFont("Calibri", size, QFont::Normal, false); }

void refSetUp(QPixmap &pixmap, QPainter &painter, QPen &pen, const PlotFrame &f)
{
    pixmap.fill(Qt::white);
    painter.begin(&pixmap);
    pen = painter.pen();
    pen.setWidth(2);
    painter.setPen(pen);
    if (!f.stripes)
        return;
    const double levels[] = {7.3, 6, 5, 4, 3};
    const QColor colours[] = {{25, 180, 25}, {140, 140, 140}, {170, 170, 170}, {200, 200, 200}, {230, 230, 230}};
    const char *labels[] = {"7.3", "6", "5", "4", "3"};
    for (int i = 0; i < 5; ++i) {
        pen.setColor(colours[i]);
        painter.setPen(pen);
        const int y = refY(f, levels[i]);
        const QLine line(0, y, f.width, y);
        painter.drawLines(&line, 1);
        painter.drawText(QRect(QPoint(0, 0), QPoint(f.width - 1, y - 1)), 0x41, labels[i]);
    }
}

void refLabel(QPainter &painter, const PlotFrame &f, int spanStart, int lastX, const QString &text,
              ReferenceStats &stats)
{
    stats.zeroWidthLabels += lastX == spanStart;
    stats.negativeWidthLabels += lastX < spanStart;
    painter.setFont(refFont(10));
    painter.drawText(QRect(QPoint(spanStart, 0), QPoint(lastX - 1, f.height - 1)), 0xc4, text);
}

QImage referenceGenomeWide(const QList<int> &positions, const QList<double> &values, int count, const PlotFrame &f,
                           const ChromosomeLabels &table, const QString &shortName, ReferenceStats &stats)
{
    QPixmap pixmap(f.width, f.height);
    QPainter painter;
    QPen pen;
    refSetUp(pixmap, painter, pen, f);
    const int n = int(table.startValue.size());
    int red = 255, lastX = 0, spanStart = 0;
    QString current, previous = table.tags[0];
    for (int i = 0; i < count; ++i) {
        const int p = positions[i], x = refX(f, p), y = refY(f, values[i]);
        if (i == 0)
            lastX = spanStart = x;
        int k = 0;
        for (int j = n - 1; j >= 1; --j) {
            if (table.startValue[j] <= p) {
                k = j;
                red = table.colorValue[j];
                break;
            }
        }
        current = table.tags[k];
        if (current != previous) {
            refLabel(painter, f, spanStart, lastX, previous, stats);
            spanStart = x;
        }
        previous = current;
        stats.colourChanges += i > 0 && pen.color().red() != red;
        pen.setColor(QColor(red, 50, 50));
        painter.setPen(pen);
        const QPoint point(x, y);
        painter.drawPoints(&point, 1);
        lastX = x;
    }
    refLabel(painter, f, spanStart, lastX, current, stats);
    pen.setColor(QColor(0, 0, 0));
    painter.setPen(pen);
    painter.setFont(refFont(12));
    painter.drawText(QRect(QPoint(0, 0), QPoint(f.width - 1, 19)), 0x84,
                     shortName + ", max(-logP)=" + QString::number(f.realMaxY, 'g', 6));
    painter.end();
    return pixmap.toImage();
}

QImage referenceChromosome(const QList<int> &positions, const QList<double> &values, int count, const PlotFrame &f,
                           const ChromosomePlotOptions &o, ReferenceStats &stats)
{
    QPixmap pixmap(f.width, f.height);
    QPainter painter;
    QPen pen;
    refSetUp(pixmap, painter, pen, f);
    pen.setWidth(4);
    const QStringList parts = o.lineEdit1.split("-");
    bool ok1 = false, ok2 = false;
    int lo = (parts.size() == 2 ? parts[0] : o.lineEdit1).toInt(&ok1, 10);
    int hi = (parts.size() == 2 ? parts[1] : o.lineEdit2).toInt(&ok2, 10);
    if (!ok1 || !ok2)
        lo = hi = 0;
    const QColor red(255, 50, 50), blue(50, 50, 255);
    pen.setColor(blue);
    painter.setPen(pen);
    const auto colourAt = [&](int i) { return lo <= positions[i] && positions[i] <= hi ? red : blue; };
    for (int i = o.segments ? 1 : 0; i < count; ++i) {
        stats.colourChanges += i > 0 && colourAt(i) != colourAt(i - 1);
        pen.setColor(colourAt(i));
        painter.setPen(pen);
        const QPoint end(refX(f, positions[i]), refY(f, values[i]));
        if (o.segments) {
            const QLine line(QPoint(refX(f, positions[i - 1]), refY(f, values[i - 1])), end);
            painter.drawLines(&line, 1);
        } else {
            painter.drawPoints(&end, 1);
        }
    }
    pen.setColor(QColor(0, 0, 0));
    painter.setPen(pen);
    painter.setFont(refFont(12));
    painter.drawText(QRect(QPoint(0, 0), QPoint(f.width - 1, 19)), 0x84, "max=" + QString::number(f.realMaxY, 'g', 6));
    painter.setFont(refFont(10));
    const QRect bottom(QPoint(0, 0), QPoint(f.width - 1, f.height - 3));
    painter.drawText(bottom, 0x41, groupThousands(o.realMinX));
    painter.drawText(bottom, 0x42, groupThousands(o.realMaxX));
    painter.drawText(bottom, 0xc4, "|<-- " + groupThousands(o.realMaxX - o.realMinX) + " -->|");
    painter.end();
    return pixmap.toImage();
}

// ---- Helpers ----

// "" when the images are identical, else where they first differ.
QString imageDifference(const QImage &program, const QImage &reference)
{
    if (program == reference)
        return QString();
    if (program.size() != reference.size())
        return "sizes differ";
    for (int y = 0; y < program.height(); ++y) {
        for (int x = 0; x < program.width(); ++x) {
            if (program.pixel(x, y) != reference.pixel(x, y))
                return QString("first difference at (%1, %2): program %3, reference %4")
                    .arg(x).arg(y).arg(QColor(program.pixel(x, y)).name(), QColor(reference.pixel(x, y)).name());
        }
    }
    return "formats differ";
}

// "" when every pixel of the rectangle has the colour, else the first that has not.
QString rectMismatch(const QImage &image, int left, int top, int width, int height, const QColor &colour)
{
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            const QColor seen(image.pixel(x, y));
            if (seen != colour)
                return QString("(%1, %2) is %3, expected %4").arg(x).arg(y).arg(seen.name(), colour.name());
        }
    }
    return QString();
}

#define EXPECT_RECT(image, left, top, width, height, colour)                                                          \
    do {                                                                                                               \
        const QString mismatch = rectMismatch(image, left, top, width, height, colour);                               \
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));                                                            \
    } while (false)

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
    void genomeWideMatchesReference_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("chromosomes");
        QTest::addColumn<bool>("unsortedTable");
        QTest::addColumn<bool>("stripes");
        QTest::addColumn<int>("dropped"); // points of the lists beyond count
        QTest::newRow("six chromosomes") << 1u << 6 << false << true << 0;
        QTest::newRow("unsorted table, duplicate start") << 2u << 6 << true << true << 0;
        QTest::newRow("stripes off") << 3u << 6 << false << false << 0;
        QTest::newRow("two chromosomes") << 4u << 2 << false << true << 0;
        QTest::newRow("one chromosome") << 5u << 1 << false << true << 0;
        QTest::newRow("count below list size") << 6u << 6 << true << true << 700;
        QTest::newRow("count 0") << 7u << 6 << false << true << -1;
    }
    void genomeWideMatchesReference()
    {
        QFETCH(quint32, seed);
        QFETCH(int, chromosomes);
        QFETCH(bool, unsortedTable);
        QFETCH(bool, stripes);
        QFETCH(int, dropped);
        QRandomGenerator rng(seed);
        const QStringList names = {"1", "2", "3", "1", "X", "Y"}; // "1" returns as a fourth entry
        ChromosomeLabels table;
        for (int k = 0; k < chromosomes; ++k) {
            table.startValue.append(1000 + 4000 * k);
            table.colorValue.append(k % 2 == 0 ? 255 : 50);
            table.tags.append(names[k]);
        }
        if (unsortedTable) {
            std::swap(table.startValue[1], table.startValue[2]);
            table.startValue[5] = table.startValue[4];
        }
        const int maxPosition = 1000 + 4000 * chromosomes;
        QList<int> positions{0};
        QList<double> values{1.0};
        while (positions.size() < 3000) {
            const int k = int(rng.bounded(chromosomes));
            const int run = rng.bounded(4) == 0 ? 1 : 1 + int(rng.bounded(30));
            for (int j = 0; j < run; ++j) {
                const bool early = rng.bounded(20) == 0; // before any other chromosome's start
                positions.append(early ? int(rng.bounded(5000)) : 1000 + 4000 * k + int(rng.bounded(4000)));
                values.append(rng.bounded(48) * 0.25);
            }
        }
        positions.append(maxPosition);
        values.append(5.0);
        const int count = dropped < 0 ? 0 : int(positions.size()) - dropped;
        const PlotFrame frame = largeFrame(maxPosition, stripes);

        ReferenceStats stats;
        const QImage expected = referenceGenomeWide(positions, values, count, frame, table, "gwas.txt", stats);
        const QImage painted = paintGenomeWide(positions, values, count, frame, table, "gwas.txt").toImage();
        const QString difference = imageDifference(painted, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        if (count > 0 && chromosomes > 1) { // the data really holds the cases that batching and skipping touch
            QVERIFY(stats.zeroWidthLabels > 10);
            QVERIFY(stats.negativeWidthLabels > 10);
            QVERIFY(chromosomes == 2 || stats.colourChanges > 50);
        }
    }

    void chromosomeMatchesReference_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("segments");
        QTest::addColumn<bool>("stripes");
        QTest::addColumn<QString>("text1");
        QTest::addColumn<QString>("text2");
        QTest::addColumn<int>("count");
        QTest::newRow("dots, range in one edit") << 11u << false << true << "1500000-2200000" << "x" << 3000;
        QTest::newRow("dots, range in two edits, stripes off") << 12u << false << false << "1500000" << "2200000" << 3000;
        QTest::newRow("dots, no range") << 13u << false << true << "" << "" << 3000;
        QTest::newRow("segments, range") << 14u << true << true << "1500000-2200000" << "" << 3000;
        QTest::newRow("segments, stripes off") << 15u << true << false << "1800000" << "2600000" << 3000;
        QTest::newRow("segments, count below list size") << 16u << true << true << "1-2000000" << "" << 2000;
        QTest::newRow("segments, one point") << 17u << true << true << "" << "" << 1;
        QTest::newRow("dots, count 0") << 18u << false << true << "" << "" << 0;
        QTest::newRow("segments, count 0") << 19u << true << false << "" << "" << 0;
    }
    void chromosomeMatchesReference()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, segments);
        QFETCH(bool, stripes);
        QFETCH(QString, text1);
        QFETCH(QString, text2);
        QFETCH(int, count);
        QRandomGenerator rng(seed);
        QList<int> positions{1000000};
        QList<double> values{2.0};
        while (positions.size() < 2999) {
            positions.append(1000000 + int(rng.bounded(2000000)));
            values.append(rng.bounded(48) * 0.25);
        }
        positions.append(3000000);
        values.append(3.0);
        const PlotFrame frame = largeFrame(3000000, stripes);
        const ChromosomePlotOptions options = chromosomeOptions(positions, segments, text1, text2);

        ReferenceStats stats;
        const QImage expected = referenceChromosome(positions, values, count, frame, options, stats);
        const QImage painted = paintChromosome(positions, values, count, frame, options).toImage();
        const QString difference = imageDifference(painted, expected);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        if (count > 1 && !text1.isEmpty())
            QVERIFY(stats.colourChanges > 100);
    }

    void finderMatchesLinearScan()
    {
        QRandomGenerator rng(42);
        const int sizes[] = {0, 1, 2, 3, 5, 8, 40, 300};
        for (int trial = 0; trial < 400; ++trial) {
            const int n = sizes[trial % 8];
            QVector<int> starts;
            for (int k = 0; k < n; ++k) // a small range forces duplicates
                starts.append(int(rng.bounded(60)) - 10);
            if (trial % 3 == 0)
                std::sort(starts.begin(), starts.end());
            ChromosomeFinder finder(starts);
            for (int q = 0; q < 300; ++q) {
                // Ascending stretches as in a sorted file, then random jumps.
                const int x = q < 100 ? q - 20 : int(rng.bounded(80)) - 20;
                int expected = 0;
                for (int k = n - 1; k >= 1; --k) {
                    if (starts[k] <= x) {
                        expected = k;
                        break;
                    }
                }
                const int found = finder.find(x);
                if (found != expected) {
                    QStringList table;
                    for (int s : starts)
                        table << QString::number(s);
                    QFAIL(qPrintable(QString("x %1 in [%2]: found %3, expected %4")
                                         .arg(x).arg(table.join(", ")).arg(found).arg(expected)));
                }
            }
        }
    }

    void genomeWidePixels()
    {
        ChromosomeLabels table{{1000, 1200, 1300}, {255, 50, 255}, {"1", "2", "3"}};
        // Columns: x(1103) = 25, x(1243) = 60, x(1023) = 5, x(1403) = 100, x(998) = trunc(-0.5) = 0.
        // Rows: y(9.6) = 300 - trunc(186.55) = 114, y(11) = 300 - 215 = 85.
        const QList<int> positions{998, 1103, 1243, 1023, 1403};
        const QList<double> values{11, 9.6, 9.6, 11, 9.6};
        const QImage image = paintGenomeWide(positions, values, 5, smallFrame(false), table, "f").toImage();
        QCOMPARE(image.size(), QSize(400, 300));
        EXPECT_RECT(image, 0, 84, 1, 2, kRed);  // first point: 255 before any chromosome was found
        EXPECT_RECT(image, 24, 113, 2, 2, kRed); // first chromosome
        EXPECT_RECT(image, 59, 113, 2, 2, kGrey); // second
        EXPECT_RECT(image, 4, 84, 2, 2, kGrey);   // before the second's start: keeps the previous red
        EXPECT_RECT(image, 99, 113, 2, 2, kRed);  // third
        // Only the 2 x 2 squares: one pixel further is background.
        EXPECT_RECT(image, 23, 113, 1, 2, kWhite);
        EXPECT_RECT(image, 26, 113, 1, 2, kWhite);
        EXPECT_RECT(image, 24, 112, 2, 1, kWhite);
        EXPECT_RECT(image, 24, 115, 2, 1, kWhite);
        EXPECT_RECT(image, 200, 40, 200, 60, kWhite);
    }

    void chromosomeDotPixels()
    {
        // x(1103) = 25, x(1243) = 60, x(1403) = 100, x(1199) = 49, x(1503) = 125;
        // y(9.6) = 114, y(11) = 85, y(5) = 208, y(6) = 188.
        const QList<int> positions{1103, 1243, 1403, 1199, 1503};
        const QList<double> values{9.6, 9.6, 11, 5, 6};
        const QImage image = paintChromosome(positions, values, 5, smallFrame(true),
                                             chromosomeOptions(positions, false, "1200-1403")).toImage();
        EXPECT_RECT(image, 23, 112, 4, 4, kBlue);
        EXPECT_RECT(image, 58, 112, 4, 4, kRed);
        EXPECT_RECT(image, 98, 83, 4, 4, kRed);   // the upper bound is inclusive
        EXPECT_RECT(image, 47, 206, 4, 4, kBlue); // one below the lower bound
        EXPECT_RECT(image, 123, 186, 4, 4, kBlue); // the mark covers the grey line of 6
        EXPECT_RECT(image, 22, 112, 1, 4, kWhite);
        EXPECT_RECT(image, 27, 112, 1, 4, kWhite);
        EXPECT_RECT(image, 23, 111, 4, 1, kWhite);
        EXPECT_RECT(image, 23, 116, 4, 1, kWhite);
    }

    void segmentsTakeEndPointColour()
    {
        // A (25, 114) -> B (60, 114) -> C (100, 114); only B is in the range.
        const QList<int> positions{1103, 1243, 1403};
        const QList<double> values{9.6, 9.6, 9.6};
        const QImage image = paintChromosome(positions, values, 3, smallFrame(false),
                                             chromosomeOptions(positions, true, "1200", "1300")).toImage();
        EXPECT_RECT(image, 30, 112, 25, 4, kRed);
        EXPECT_RECT(image, 65, 112, 30, 4, kBlue);
        EXPECT_RECT(image, 30, 111, 25, 1, kWhite); // width 4: rows 112..115
        EXPECT_RECT(image, 30, 116, 25, 1, kWhite);
    }

    void thresholdLines_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("7.3") << 161 << QColor(25, 180, 25); // 300 - trunc(139.4)
        QTest::newRow("6") << 188 << QColor(140, 140, 140); // 300 - trunc(112.75)
        QTest::newRow("5") << 208 << QColor(170, 170, 170); // 300 - trunc(92.25)
        QTest::newRow("4") << 229 << QColor(200, 200, 200); // 300 - trunc(71.75)
        QTest::newRow("3") << 249 << QColor(230, 230, 230); // 300 - trunc(51.25)
    }
    void thresholdLines()
    {
        QFETCH(int, row);
        QFETCH(QColor, colour);
        ChromosomeLabels table{{0}, {255}, {"1"}};
        for (bool stripes : {true, false}) {
            const QImage images[] = {
                paintGenomeWide({}, {}, 0, smallFrame(stripes), table, "f").toImage(),
                paintChromosome({}, {}, 0, smallFrame(stripes), chromosomeOptions({}, false)).toImage(),
            };
            for (const QImage &image : images) {
                // Away from the label at the left edge; to the right end of the pixmap.
                EXPECT_RECT(image, 100, row - 1, 300, 2, stripes ? colour : kWhite);
                EXPECT_RECT(image, 100, row - 2, 300, 1, kWhite);
                EXPECT_RECT(image, 100, row + 1, 300, 1, kWhite);
            }
        }
    }

    void valueOfThresholdLandsOnItsRow()
    {
        // y(7.3) = 161: the 4 x 4 mark spans rows 159..162 around the green rows 160..161.
        const QList<int> positions{1603};
        const QImage image =
            paintChromosome(positions, {7.3}, 1, smallFrame(true), chromosomeOptions(positions, false)).toImage();
        EXPECT_RECT(image, 148, 159, 4, 4, kBlue);
        EXPECT_RECT(image, 152, 160, 200, 2, QColor(25, 180, 25));
        EXPECT_RECT(image, 148, 158, 4, 1, kWhite);
        EXPECT_RECT(image, 148, 163, 4, 1, kWhite);
    }

    void noMarks()
    {
        const QList<int> one{1403};
        const QImage empty = paintChromosome({}, {}, 0, smallFrame(true), chromosomeOptions(one, true)).toImage();
        const QImage single = paintChromosome(one, {9.6}, 1, smallFrame(true), chromosomeOptions(one, true)).toImage();
        const QString difference = imageDifference(single, empty);
        QVERIFY2(difference.isEmpty(), qPrintable(difference)); // segments mode with one point draws no mark
        for (int y = 0; y < empty.height(); ++y) {
            for (int x = 0; x < empty.width(); ++x) {
                const QColor c(empty.pixel(x, y));
                QVERIFY(c != kRed && c != kBlue);
            }
        }
        // The genome-wide plot of nothing: only the title, in its 20-pixel band.
        ChromosomeLabels table{{0, 10}, {255, 50}, {"1", "2"}};
        const QImage genome = paintGenomeWide({}, {}, 0, smallFrame(false), table, "f").toImage();
        EXPECT_RECT(genome, 0, 20, 400, 280, kWhite);
    }

    void textStaysInItsRectangles()
    {
        // One chromosome with points on columns 100..200 in rows 113..114: its label is
        // clipped to columns 100..199, and nothing else is drawn below the points.
        ChromosomeLabels table{{1403}, {255}, {"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"}};
        const QList<int> positions{1403, 1603, 1503, 1803};
        const QImage genome = paintGenomeWide(positions, {9.6, 9.6, 9.6, 9.6}, 4, smallFrame(false), table, "f").toImage();
        EXPECT_RECT(genome, 0, 120, 100, 180, kWhite);
        EXPECT_RECT(genome, 200, 120, 200, 180, kWhite);
        if (!QFontDatabase::families().isEmpty()) // the label was really drawn, inside its columns
            QVERIFY(!rectMismatch(genome, 100, 120, 100, 180, kWhite).isEmpty());
        // The chromosome plot: title in rows 0..19, bottom labels end 2 rows above the last.
        const QImage chromosome =
            paintChromosome({}, {}, 0, smallFrame(false), chromosomeOptions({12345, 9876543}, false)).toImage();
        EXPECT_RECT(chromosome, 0, 20, 400, 230, kWhite);
        EXPECT_RECT(chromosome, 0, 298, 400, 2, kWhite);
    }

    void highlightRangeFromLineEdits_data()
    {
        QTest::addColumn<QString>("text1");
        QTest::addColumn<QString>("text2");
        QTest::addColumn<int>("lo");
        QTest::addColumn<int>("hi");
        QTest::newRow("lo-hi in the first, second ignored") << "1000000-2000000" << "7" << 1000000 << 2000000;
        QTest::newRow("lo and hi in one each") << "1000000" << "2000000" << 1000000 << 2000000;
        QTest::newRow("both empty") << "" << "" << 0 << 0;
        QTest::newRow("letters") << "abc" << "5" << 0 << 0;
        QTest::newRow("reversed, kept as typed") << "2000000-1000000" << "" << 2000000 << 1000000;
        QTest::newRow("-5-10: three parts, whole text fails") << "-5-10" << "" << 0 << 0;
        QTest::newRow("-5: two parts, empty lo fails") << "-5" << "10" << 0 << 0;
        QTest::newRow("5-: empty hi fails") << "5-" << "10" << 0 << 0;
        QTest::newRow("blanks around the numbers") << " 5 - 10 " << "" << 5 << 10;
        QTest::newRow("leading plus") << "+5" << "+10" << 5 << 10;
        QTest::newRow("second fails") << "5" << "1e3" << 0 << 0;
        QTest::newRow("beyond 32 bits") << "1-2147483648" << "" << 0 << 0;
    }
    void highlightRangeFromLineEdits()
    {
        QFETCH(QString, text1);
        QFETCH(QString, text2);
        QFETCH(int, lo);
        QFETCH(int, hi);
        const HighlightRange range = highlightRange(text1, text2);
        QCOMPARE(range.lo, lo);
        QCOMPARE(range.hi, hi);
        // Both bounds inclusive; lo > hi holds nothing.
        QCOMPARE(range.contains(lo), lo <= hi);
        QCOMPARE(range.contains(hi), lo <= hi);
        QVERIFY(!range.contains(lo - 1));
        QVERIFY(!range.contains(hi + 1));
    }

    void thousandsGrouping_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("text");
        QTest::newRow("1234567") << 1234567 << "1,234,567";
        QTest::newRow("123456") << 123456 << "123,456";
        QTest::newRow("1000") << 1000 << "1,000";
        QTest::newRow("999") << 999 << "999";
        QTest::newRow("0") << 0 << "0";
        QTest::newRow("9864198") << 9864198 << "9,864,198";
        QTest::newRow("-1000") << -1000 << "-1,000";
        // The sign counts as a character: after "100" comes a comma before it.
        QTest::newRow("-100") << -100 << "-,100";
        QTest::newRow("-10") << -10 << "-10";
        QTest::newRow("INT_MIN") << INT_MIN << "-2,147,483,648";
        QTest::newRow("INT_MAX") << INT_MAX << "2,147,483,647";
    }
    void thousandsGrouping()
    {
        QFETCH(int, number);
        QFETCH(QString, text);
        QCOMPARE(groupThousands(number), text);
    }

    void titleNumbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 12.0 << "12";
        QTest::newRow("rounded to 6 digits") << 12.3456789 << "12.3457";
        QTest::newRow("empty lists") << -9999999.9 << "-1e+07";
        QTest::newRow("small") << 1e-5 << "1e-05";
        QTest::newRow("large") << 123456789.0 << "1.23457e+08";
        QTest::newRow("7.3") << 7.3 << "7.3";
        QTest::newRow("negative zero") << -0.0 << "0";
    }
    void titleNumbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(titleNumber(value), text);
    }
};

QTEST_MAIN(PaintersTest)
#include "test_painters.moc"
