// Plot geometry: axis ranges with their pads, pixmap size, scales, the
// pixel mapping and its inverse, and the genome-wide copies.
#include "app/mywidget.h"
#include "app/state.h"
#include "plot/geometry.h"
#include "support/testsupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#include <climits>
#include <cmath>

namespace {

const QRect fullHd(0, 0, 1920, 1080); // pixmap 1536 x 810

bool isFinite(double v)
{
    return std::isfinite(v);
}

} // namespace

class GeometryTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetProgramState(); }

    void pixmapSize_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<int>("fwidth");
        QTest::addColumn<int>("fheight");
        QTest::newRow("1920x1080") << fullHd << 1536 << 810;
        QTest::newRow("1366x768, 1092.8 truncated") << QRect(0, 0, 1366, 768) << 1092 << 576;
        QTest::newRow("second screen, same size") << QRect(1920, 0, 1366, 768) << 1092 << 576;
        QTest::newRow("1001x1001") << QRect(0, 0, 1001, 1001) << 800 << 750;
    }

    void pixmapSize()
    {
        QFETCH(QRect, screen);
        const Geometry g = computeGeometry({0, 100}, {1, 2}, screen);
        QTEST(g.fwidth, "fwidth");
        QTEST(g.fheight, "fheight");
        QCOMPARE(g.ymargin, 0);
    }

    // The x range runs from the first to the last position in list order,
    // padded by 5 % of their difference truncated toward zero.
    void positionPad_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<int>("minX");
        QTest::addColumn<int>("maxX");
        QTest::newRow("pad 0.95 -> 0") << QList<int>{1000, 1019} << 1000 << 1019;
        QTest::newRow("pad 5") << QList<int>{0, 100} << -5 << 105;
        QTest::newRow("middle point ignored") << QList<int>{0, 5000, -7000, 100} << -5 << 105;
        QTest::newRow("pad 1.5 -> 1") << QList<int>{100, 130} << 99 << 131;
        QTest::newRow("reversed, pad -0.95 -> 0") << QList<int>{1019, 1000} << 1019 << 1000;
        QTest::newRow("reversed, pad -1.5 -> -1") << QList<int>{130, 100} << 131 << 99;
        QTest::newRow("reversed, pad -5") << QList<int>{100, 0} << 105 << -5;
        QTest::newRow("negative positions") << QList<int>{-300, -100} << -310 << -90;
    }

    void positionPad()
    {
        QFETCH(QList<int>, positions);
        QFETCH(int, minX);
        QFETCH(int, maxX);
        const Geometry g = computeGeometry(positions, QList<double>(positions.size(), 1.0), fullHd);
        QCOMPARE(g.realMinX, positions.first());
        QCOMPARE(g.realMaxX, positions.last());
        QCOMPARE(g.minX, minX);
        QCOMPARE(g.maxX, maxX);
        QCOMPARE(g.pixPerX, 1536.0 / (maxX - minX));
    }

    void valueRange()
    {
        const Geometry g = computeGeometry({0, 100}, {2, 12}, fullHd);
        QCOMPARE(g.realMaxY, 12.0);
        QCOMPARE(g.minY, 1.5);
        QCOMPARE(g.maxY, 12.5);
        QCOMPARE(g.pixPerY, 810.0 / 11);

        // NaN moves neither end; the largest value wins wherever it stands.
        const Geometry n = computeGeometry({0, 1, 2, 3}, {std::nan(""), 12, std::nan(""), 2}, fullHd);
        QCOMPARE(n.realMaxY, 12.0);
        QCOMPARE(n.minY, 1.5);
        QCOMPARE(n.maxY, 12.5);
    }

    void emptyLists()
    {
        const Geometry g = computeGeometry({}, {}, fullHd);
        QCOMPARE(g.realMaxY, -9999999.9);
        QCOMPARE(g.minY, 10999999.89);
        QCOMPARE(g.maxY, -10999999.89);
        QCOMPARE(g.pixPerY, 810 / -21999999.78);
        QVERIFY(isFinite(g.pixPerX));
    }

    // Zero spreads are widened so that the scales stay finite and the
    // point(s) land in the middle of the pixmap.
    void zeroSpreads_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QList<double>>("values");
        QTest::newRow("one point") << QList<int>{500} << QList<double>{7};
        QTest::newRow("equal first and last") << QList<int>{500, 900, 500} << QList<double>{7, 7, 7};
        QTest::newRow("one point at 0, value 0") << QList<int>{0} << QList<double>{0};
        QTest::newRow("one negative point") << QList<int>{-123456789} << QList<double>{-3};
    }

    void zeroSpreads()
    {
        QFETCH(QList<int>, positions);
        QFETCH(QList<double>, values);
        const Geometry g = computeGeometry(positions, values, fullHd);
        QVERIFY(isFinite(g.pixPerX) && g.pixPerX > 0);
        QVERIFY(isFinite(g.pixPerY) && g.pixPerY > 0);
        const PixelMap map{g.minX, g.pixPerX, g.minY, g.pixPerY, g.fheight, g.ymargin};
        QCOMPARE(map.x(positions.first()), 1536 / 2);
        QCOMPARE(map.y(values.first()), 810 / 2);
    }

    // Positions at the ends of the 32-bit range neither overflow nor leave
    // the pixmap's span.
    void extremePositions_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::newRow("INT_MIN to INT_MAX") << QList<int>{INT_MIN, INT_MAX};
        QTest::newRow("INT_MAX to INT_MIN") << QList<int>{INT_MAX, INT_MIN};
        QTest::newRow("INT_MAX alone") << QList<int>{INT_MAX};
        QTest::newRow("INT_MIN alone") << QList<int>{INT_MIN};
        QTest::newRow("INT_MAX - 1 to INT_MAX") << QList<int>{INT_MAX - 1, INT_MAX};
    }

    void extremePositions()
    {
        QFETCH(QList<int>, positions);
        const Geometry g = computeGeometry(positions, QList<double>(positions.size(), 1.0), fullHd);
        QVERIFY(isFinite(g.pixPerX) && g.pixPerX != 0);
        QVERIFY(g.minX != g.maxX);
        const PixelMap map{g.minX, g.pixPerX, g.minY, g.pixPerY, g.fheight, g.ymargin};
        for (int p : positions) {
            const int column = map.x(p);
            QVERIFY2(column >= 0 && column <= g.fwidth, qPrintable(QString::number(column)));
        }
    }

    void truncToIntClamps_data()
    {
        const double inf = std::numeric_limits<double>::infinity();
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("lowest");
        QTest::addColumn<int>("highest");
        QTest::newRow("0.7") << 0.7 << 0 << 0;
        QTest::newRow("-0.7 toward zero") << -0.7 << 0 << 0;
        QTest::newRow("1.9") << 1.9 << 1 << 1;
        QTest::newRow("-1.9") << -1.9 << -1 << -1;
        QTest::newRow("NaN") << std::nan("") << 0 << 0;
        QTest::newRow("3e9 stays positive") << 3e9 << 1000000 << INT_MAX;
        QTest::newRow("-3e9 stays negative") << -3e9 << INT_MIN << -1000000;
        QTest::newRow("+inf") << inf << 1000000 << INT_MAX;
        QTest::newRow("-inf") << -inf << INT_MIN << -1000000;
    }

    void truncToIntClamps()
    {
        QFETCH(double, value);
        QFETCH(int, lowest);
        QFETCH(int, highest);
        const int result = truncToInt(value);
        QVERIFY2(lowest <= result && result <= highest, qPrintable(QString::number(result)));
    }

    void pixelMapTruncatesTowardZero()
    {
        // Scale 0.7: one unit left of minX is column -0.7, truncated to 0.
        const PixelMap map{100, 0.7, 0.0, 0.7, 600, 0};
        QCOMPARE(map.x(99), 0);
        QCOMPARE(map.x(98), -1);
        QCOMPARE(map.x(102), 1);
        QCOMPARE(map.y(-1), 600);
        QCOMPARE(map.y(-2), 601);
        QCOMPARE(map.y(2), 599);
        QCOMPARE(map.y(std::nan("")), 600);
        // A position far from minX is clamped, not wrapped.
        const PixelMap wide{INT_MIN, 1.0, 0, 1, 600, 0};
        QVERIFY(wide.x(INT_MAX) > 0);
    }

    void inverseMapping()
    {
        // Pad 5 around 0..100 on a 1536-wide pixmap: 1536 / 110 pixels per unit.
        const double perX = 1536.0 / 110;
        QCOMPARE(positionAtColumn(0, -5, perX), qint64(-5));
        QCOMPARE(positionAtColumn(150, -5, perX), qint64(5));    // 10.74 -> 10
        QCOMPARE(positionAtColumn(10, 0, -20.0), qint64(0));     // -0.5 -> 0, not -1
        QCOMPARE(positionAtColumn(30, 0, -20.0), qint64(-1));
        QCOMPARE(positionAtColumn(0, 7, 0.0), qint64(7));        // no scale: no UB
        QVERIFY(positionAtColumn(10, 7, 0.0) > 7);

        QCOMPARE(valueAtRow(0, 810, 0, 1.5, 810.0 / 11), 12.5);
        QCOMPARE(valueAtRow(810, 810, 0, 1.5, 810.0 / 11), 1.5);
        QCOMPARE(valueAtRow(405, 810, 0, 1.5, 810.0 / 11), 7.0);
    }

    // The genome-wide copies and "Get GLOBAL" come from the first
    // computation for a file only, and only in the genome-wide view.
    void globalCopiesTakenOnce()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            const QString several = writeFile(dir + "/g.txt", "1\t0\t0.5\n1\t1000\t0.01\n2\t0\t0.1\n2\t900\t0.2\n");
            answerFileDialog(several);
            MyWidget w;
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            QCOMPARE(fwidth, int(0.8 * screen.width()));
            QCOMPARE(fheight, int(0.75 * screen.height()));
            QCOMPARE(Pos_list, (QList<int>{1, 11, 12, 21}));
            QCOMPARE(minX, 0); // pad trunc(20 * 0.05) = 1
            QCOMPARE(maxX, 22);
            QCOMPARE(globaltimes, 1);
            QCOMPARE(logText().count("Get GLOBAL\n"), 1);
            QCOMPARE(GLOBAL_minX, 0);
            QCOMPARE(GLOBAL_maxX, 22);
            QCOMPARE(GLOBAL_pixPerX, pixPerX);
            QCOMPARE(GLOBAL_pixPerY, pixPerY);
            const double copyPerX = GLOBAL_pixPerX, copyPerY = GLOBAL_pixPerY;

            for (int view : {1, 0, 1}) {
                globaldisplay = view;
                Pos_list = {5000, 6000, 9000};
                Value_list = {1, 4, 9};
                w.getParameters();
                QCOMPARE(minX, 4800);
                QCOMPARE(GLOBAL_minX, 0);
                QCOMPARE(GLOBAL_maxX, 22);
                QCOMPARE(GLOBAL_pixPerX, copyPerX);
                QCOMPARE(GLOBAL_pixPerY, copyPerY);
            }
            QCOMPARE(globaltimes, 4);
            QCOMPARE(logText().count("Get GLOBAL\n"), 1);

            // Another file takes the copies anew.
            const QString other = writeFile(dir + "/h.txt", "1\t0\t0.5\n1\t10000\t0.01\n2\t0\t0.1\n2\t100\t.2\n");
            answerFileDialog(other);
            w.getFilename();
            QCOMPARE(GLOBAL_minX, -4); // 1..103, pad 5
            QCOMPARE(GLOBAL_maxX, 108);
            QCOMPARE(logText().count("Get GLOBAL\n"), 1);
        });
    }

    void singleChromosomeTakesNoCopies()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            answerFileDialog(writeFile(dir + "/one.txt", "3\t200\t0.5\n3\t100\t0.01\n3\t400\t0.1\n"));
            MyWidget w;
            QCOMPARE(globaldisplay, 0);
            QCOMPARE(Pos_list, (QList<int>{200, 100, 400}));
            QCOMPARE(minX, 190);
            QCOMPARE(maxX, 410);
            QVERIFY(!logText().contains("Get GLOBAL"));
            globaldisplay = 1;
            w.getParameters();
            QVERIFY(!logText().contains("Get GLOBAL"));
            QCOMPARE(GLOBAL_minX, 0);
            QCOMPARE(GLOBAL_pixPerX, 0.0);
        });
    }
};

QTEST_MAIN(GeometryTest)
#include "test_geometry.moc"
