// Numbers the rules fix, pinned where the reference painter, which copies the
// formulas, could not tell a fault in them: axis ranges, pads, scales and
// pixels; the box's pick and area; the text of saved numbers (also against
// the text stream on random doubles), of the plots' labels, and the typed
// highlight range.
#include "export/savefiles.h"
#include "plot/geometry.h"
#include "plot/painters.h"
#include "select/selection.h"

#include <QTextStream>
#include <QtTest>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>

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

    // %g with 6 significant digits, also where 10^score is beyond a double; the same text as
    // the text stream's for any double.
    void numbers()
    {
        const struct { double score; const char *p, *scoreText; } cases[] = {
            {2.0, "0.01", "2"}, {7.123456789, "7.52564e-08", "7.12346"}, {308.3, "5.01187e-309", "308.3"},
            {400.0, "1e-400", "400"}, {400.0000001, "1e-400", "400"}, {-0.0, "1", "0"}}; // the mantissa rounds up to 10
        for (const auto &c : cases)
            QCOMPARE(pValueText(c.score) + ' ' + numberText(c.score), QString(c.p) + ' ' + c.scoreText);
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
};

QTEST_APPLESS_MAIN(RulesTest)
#include "test_rules.moc"
