// Numbers the rules fix, and the fast paths against plain twins. Pinned
// where the reference painter, which copies the formulas, could not tell a
// fault in them: axis ranges, pads, scales and pixels, the box's pick and
// area, the text of the plots' labels, the typed highlight range, pixels at
// computed positions. Then the painters against the reference painter, byte
// for byte (the reference finds each point's chromosome by a linear scan);
// the number conversions against Qt's (fuzz/numbercheck.h) on the fuzzer's
// seeds and random texts; the saved numbers' text against the text stream's.
#include "data/numbers.h"
#include "export/savefiles.h"
#include "fuzz/numbercheck.h"
#include "plot/geometry.h"
#include "plot/painters.h"
#include "select/selection.h"
#include "fuzz/reference.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTextStream>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>

namespace {

const QColor kWhite(255, 255, 255), kRed(255, 50, 50), kGrey(50, 50, 50), kBlue(50, 50, 255), kGreen(25, 180, 25);

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

QByteArray randomFrom(QRandomGenerator &random, const char *alphabet, int maxLength)
{
    QByteArray text;
    for (int length = random.bounded(maxLength + 1); length > 0; --length)
        text += alphabet[random.bounded(int(std::strlen(alphabet)))];
    return text;
}

// Random texts of three kinds: junk from a number's alphabet; the plain form
// "-?D+(.D+)?([eE][+-]?D+)?" with short (exact) or long (rounded) mantissas,
// sometimes decorated so it goes to Qt; any double written in %g or %e form.
QByteArray randomText(QRandomGenerator &random, int kind)
{
    if (kind == 0)
        return randomFrom(random, "0123456789+-.eE xa\t", 10);
    if (kind == 1) {
        const bool shortForm = random.bounded(2);
        QByteArray text = randomFrom(random, "-", 1);
        text += randomFrom(random, "0000123456789", shortForm ? 8 : 14);
        if (random.bounded(2))
            text += '.' + randomFrom(random, "0123456789", shortForm ? 8 : 24);
        if (random.bounded(2)) {
            text += "eE"[random.bounded(2)];
            text += randomFrom(random, "+-", 1);
            text += QByteArray::number(random.bounded(shortForm ? 30 : 400));
        }
        return random.bounded(3) == 0 ? " +\t"[random.bounded(3)] + text : text;
    }
    const quint64 pattern = random.generate64(); // any double, or one of everyday size
    const double value = random.bounded(2) ? std::ldexp(random.generateDouble(), random.bounded(-80, 80))
                                           : qFromUnaligned<double>(&pattern);
    return QByteArray::number(value, "ge"[random.bounded(2)], random.bounded(1, 26));
}

} // namespace

class RulesTest : public QObject
{
    Q_OBJECT
private slots:
    // x: first and last position in list order, padded by 5 % of their difference truncated
    // toward zero; y: smallest and largest value, NaN ignored, padded by 5 % of their spread.
    // The picture is 80 % x 75 % of the screen, truncated: 1092.8 x 576 on 1366 x 768.
    void axisRanges()
    {
        struct Case { QList<int> positions; QList<double> values; int minX, maxX; };
        const Case cases[] = {{{1000, 1019}, {2, 12}, 1000, 1019}, {{100, 130}, {12, 2}, 99, 131},
                              {{0, 5000, -7000, 100}, {NAN, 12, NAN, 2}, -5, 105}, // the middle ignored
                              {{130, 100}, {2, 12}, 131, 99}, {{-300, -100}, {2, 12}, -310, -90}}; // reversed: pad -1
        for (const Case &c : cases) {
            const Geometry g = computeGeometry(c.positions, c.values, QRect(1920, 0, 1366, 768));
            QCOMPARE(QList<int>({g.fwidth, g.fheight, g.realMinX, g.realMaxX, g.minX, g.maxX}),
                     QList<int>({1092, 576, c.positions.first(), c.positions.last(), c.minX, c.maxX}));
            QCOMPARE(QList<double>({g.realMaxY, g.minY, g.maxY, g.pixPerX, g.pixPerY}),
                     QList<double>({12, 1.5, 12.5, 1092.0 / (c.maxX - c.minX), 576.0 / 11}));
        }
        const Geometry empty = computeGeometry({}, {}, QRect(0, 0, 1920, 1080)); // never reads outside a list
        QCOMPARE(QList<double>({empty.realMaxY, empty.minY, empty.maxY, empty.pixPerY, empty.pixPerX}),
                 QList<double>({-9999999.9, 10999999.89, -10999999.89, 810 / -21999999.78, 1536 / 2}));
    }

    // A zero spread leaves the area at that one position or score; only the drawing widens it,
    // so the scales stay finite and the points land in the middle. Positions at the ends of the
    // 32-bit range neither overflow nor leave the picture.
    void degenerateSpreads()
    {
        struct Case { QList<int> positions; QList<double> values; bool centred; };
        const Case cases[] = {{{500}, {7}, true}, {{500, 900, 500}, {7, 7, 7}, true}, {{-123456789}, {-3}, true},
                              {{INT_MIN, INT_MAX}, {1, 1}, false}, {{INT_MAX - 1, INT_MAX}, {1, 1}, false}};
        for (const Case &c : cases) {
            const Geometry g = computeGeometry(c.positions, c.values, QRect(0, 0, 1920, 1080));
            QCOMPARE(std::make_pair(g.minY, g.maxY), std::make_pair(c.values.first(), c.values.first()));
            if (c.centred)
                QCOMPARE(std::make_pair(g.minX, g.maxX), std::make_pair(c.positions.first(), c.positions.first()));
            const PixelMap map = pixelMap(g);
            for (int p : {c.positions.first(), c.positions.last()})
                QVERIFY2(map.x(p) >= 0 && map.x(p) <= g.fwidth, qPrintable(QString::number(map.x(p))));
            if (c.centred)
                QCOMPARE(QPoint(map.x(c.positions.first()), map.y(c.values.first())), QPoint(768, 405));
        }
    }

    // Columns and rows truncate toward zero; no NaN or out-of-range double is converted to int;
    // and back from a box edge to data units.
    void pixels()
    {
        const PixelMap map{100, 0.7, 0.0, 0.7, 600, 0}; // one unit left of originX is column -0.7, so 0
        QCOMPARE(QList<int>({map.x(99), map.x(98), map.x(102), map.y(-1), map.y(-2), map.y(2), map.y(NAN)}),
                 QList<int>({0, -1, 1, 600, 601, 599, 600}));
        QVERIFY(map.y(HUGE_VAL) < 0 && map.y(-HUGE_VAL) > 600);      // clamped
        QVERIFY(PixelMap({INT_MIN, 1.0, 0, 1, 600, 0}).x(INT_MAX) > 0); // clamped, not wrapped
        // 150 / (1536 / 110) = 10.74 -> 10 and -0.5 -> 0; no scale, no conversion.
        const double perX = 1536.0 / 110;
        QCOMPARE(QList<qint64>({positionAtColumn(0, -5, perX), positionAtColumn(150, -5, perX),
                                positionAtColumn(10, 0, -20.0), positionAtColumn(30, 0, -20.0),
                                positionAtColumn(0, 7, 0.0)}),
                 QList<qint64>({-5, 5, 0, -1, 7}));
        QCOMPARE(QList<double>({valueAtRow(0, 810, 0, 1.5, 810.0 / 11), valueAtRow(405, 810, 0, 1.5, 810.0 / 11)}),
                 QList<double>({12.5, 7}));
    }

    // Entries 1-200, 201-300, 300-350 (touching the second) and 400-583 (after a gap); origin -28.
    // The centre column, truncated, picks the first entry that holds it, else entry 0.
    void pick()
    {
        const struct { int x1, x2; double pixPerX; int point, position, index; } cases[] = {
            {327, 329, 1.0, 328, 300, 1}, {228, 231, 1.0, 229, 201, 1}, {227, 230, 1.0, 228, 200, 0},
            {0, 460, 1.0, 230, 202, 1},   {397, 399, 1.0, 398, 370, 0}, {100, 103, 3.0, 101, 5, 0}};
        for (const auto &c : cases) {
            const Pick p = pickChromosome(c.x1, c.x2, c.pixPerX, -28, {1, 201, 300, 400}, {200, 300, 350, 583});
            QCOMPARE(QList<qint64>({p.point, p.position, p.index}), QList<qint64>({c.point, c.position, c.index}));
        }
        // Columns 10 and 20 lie over 1020 and 1040, rows 100 and 300 over 5 and 3: all inclusive.
        const Area area = boxArea(Box{20, 300, 10, 100}, PixelMap{1000, 0.5, 0.0, 100.0, 600, 0});
        const QList<double> values{5.0, 3.0, 4.0, 4.0, std::nextafter(5.0, 6.0), std::nextafter(3.0, 2.0), NAN};
        QCOMPARE(pointsInside({1020, 1040, 1019, 1041, 1030, 1030, 1030}, values, area).positions, QList<int>({1020, 1040}));
    }

    // The saved numbers' text is the text stream's for any double (pinned cases: process case
    // saved-file-loads-back).
    void numbers()
    {
        const auto streamed = [](double v) { QString text; QTextStream(&text) << v; return text; };
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> scores(-400, 400);
        for (int i = 0; i < 200000; ++i) {
            double v = scores(random);
            const quint64 bits = random();
            if (i % 2)
                std::memcpy(&v, &bits, sizeof v); // any double
            if (!std::isfinite(v))
                continue;
            QCOMPARE(numberText(v), streamed(v));
            if (std::isfinite(std::pow(10.0, v)))
                QCOMPARE(pValueText(v), streamed(1 / std::pow(10.0, v)));
        }
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
            const ReferenceTable table{c.starts, QVector<int>{255, 50, 255, 50, 255, 50}.first(chromosomes),
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
            LabelWidths widths;
            QCOMPARE(paintMismatch(positions.first(c.count), values.first(c.count), table, c.stripes, c.segments, c.edit1,
                                   c.edit2, {1920, 1080}, &widths), QString());
            // The data really holds the labels the skip rule touches.
            QVERIFY(c.count <= 1 || chromosomes == 1 || (widths.zero > 10 && widths.negative > 10));
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

    void agreesWithQt()
    {
        QList<QByteArray> texts;
        const QDir seeds(TIVREL_NUMBER_SEEDS);
        for (const QString &name : seeds.entryList(QDir::Files)) {
            QFile file(seeds.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            texts << file.readAll();
        }
        QVERIFY(texts.size() > 80);
        QRandomGenerator random(20240611);
        for (int i = 0; i < 300000; ++i)
            texts << randomText(random, i % 3);
        for (const QByteArray &text : texts)
            if (const char *broken = brokenNumberRule(text))
                QFAIL(qPrintable(QString("%1 on \"%2\"").arg(broken, text.toPercentEncoding(" +-."))));
    }
};

QTEST_MAIN(RulesTest)
#include "test_rules.moc"
