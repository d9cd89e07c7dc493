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
const double notANumber = std::nan("");

} // namespace

class GeometryTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetProgramState(); }

    // x: the first and last position in list order, padded by 5 % of their
    // difference truncated toward zero. y: the smallest and largest value,
    // NaN ignored, padded by 5 % of their spread. The pixmap is 80 % x 75 %
    // of the screen, truncated: 1092.8 x 576 on a second screen of 1366 x 768.
    void axisRanges()
    {
        struct Case { QList<int> positions; QList<double> values; int minX, maxX; };
        const Case cases[] = {
            {{1000, 1019}, {2, 12}, 1000, 1019},                               // pad 0.95 -> 0
            {{100, 130}, {12, 2}, 99, 131},                                    // pad 1.5 -> 1
            {{0, 5000, -7000, 100}, {notANumber, 12, notANumber, 2}, -5, 105}, // middle positions ignored
            {{1019, 1000}, {2, 12}, 1019, 1000},                               // reversed, pad -0.95 -> 0
            {{130, 100}, {2, 12}, 131, 99},                                    // reversed, pad -1.5 -> -1
            {{-300, -100}, {2, 12}, -310, -90},
        };
        for (const Case &c : cases) {
            const Geometry g = computeGeometry(c.positions, c.values, QRect(1920, 0, 1366, 768));
            QCOMPARE(QSize(g.fwidth, g.fheight), QSize(1092, 576));
            QCOMPARE(QList<int>({g.realMinX, g.realMaxX, g.minX, g.maxX}),
                     QList<int>({c.positions.first(), c.positions.last(), c.minX, c.maxX}));
            QCOMPARE(QList<double>({g.realMaxY, g.minY, g.maxY}), QList<double>({12, 1.5, 12.5}));
            QCOMPARE(g.pixPerX, 1092.0 / (c.maxX - c.minX));
            QCOMPARE(g.pixPerY, 576.0 / 11);
        }
    }

    void emptyLists()
    {
        const Geometry g = computeGeometry({}, {}, fullHd);
        QCOMPARE(QList<double>({g.realMaxY, g.minY, g.maxY}), QList<double>({-9999999.9, 10999999.89, -10999999.89}));
        QCOMPARE(g.pixPerY, 810 / -21999999.78);
        QVERIFY(std::isfinite(g.pixPerX));
    }

    // Zero spreads are widened so that the scales stay finite and the
    // point(s) land in the middle of the pixmap; positions at the ends of the
    // 32-bit range neither overflow nor leave the pixmap's span.
    void degenerateSpreads()
    {
        struct Case { QList<int> positions; QList<double> values; bool centred; };
        const Case cases[] = {
            {{500}, {7}, true}, {{500, 900, 500}, {7, 7, 7}, true}, {{0}, {0}, true},
            {{-123456789}, {-3}, true}, {{INT_MIN, INT_MAX}, {1, 1}, false}, {{INT_MAX, INT_MIN}, {1, 1}, false},
            {{INT_MAX}, {1}, false}, {{INT_MIN}, {1}, false}, {{INT_MAX - 1, INT_MAX}, {1, 1}, false},
        };
        for (const Case &c : cases) {
            const Geometry g = computeGeometry(c.positions, c.values, fullHd);
            QVERIFY(std::isfinite(g.pixPerX) && g.pixPerX != 0 && std::isfinite(g.pixPerY) && g.pixPerY > 0);
            const PixelMap map{g.minX, g.pixPerX, g.minY, g.pixPerY, g.fheight, g.ymargin};
            for (int p : {c.positions.first(), c.positions.last()})
                QVERIFY2(map.x(p) >= 0 && map.x(p) <= g.fwidth, qPrintable(QString::number(map.x(p))));
            if (c.centred)
                QCOMPARE(QPoint(map.x(c.positions.first()), map.y(c.values.first())), QPoint(768, 405));
        }
    }

    void truncToIntClampsTowardZero()
    {
        const double inf = std::numeric_limits<double>::infinity();
        struct Case { double value; int lowest, highest; };
        const Case cases[] = {{0.7, 0, 0}, {-0.7, 0, 0}, {1.9, 1, 1}, {-1.9, -1, -1}, {notANumber, 0, 0},
                              {3e9, 1000000, INT_MAX}, {-3e9, INT_MIN, -1000000}, {inf, 1000000, INT_MAX},
                              {-inf, INT_MIN, -1000000}};
        for (const Case &c : cases) {
            const int result = truncToInt(c.value);
            QVERIFY2(c.lowest <= result && result <= c.highest, qPrintable(QString::number(c.value)));
        }

        // Scale 0.7: one unit left of minX is column -0.7, truncated to 0.
        const PixelMap map{100, 0.7, 0.0, 0.7, 600, 0};
        QCOMPARE(QList<int>({map.x(99), map.x(98), map.x(102)}), QList<int>({0, -1, 1}));
        QCOMPARE(QList<int>({map.y(-1), map.y(-2), map.y(2), map.y(notANumber)}), QList<int>({600, 601, 599, 600}));
        QVERIFY(PixelMap({INT_MIN, 1.0, 0, 1, 600, 0}).x(INT_MAX) > 0); // clamped, not wrapped
    }

    void inverseMapping()
    {
        // Columns back to positions truncate toward zero: 150 / (1536 / 110) = 10.74 -> 10, -0.5 -> 0.
        const double perX = 1536.0 / 110; // pad 5 around 0..100
        QCOMPARE(QList<qint64>({positionAtColumn(0, -5, perX), positionAtColumn(150, -5, perX),
                                positionAtColumn(10, 0, -20.0), positionAtColumn(30, 0, -20.0)}),
                 QList<qint64>({-5, 5, 0, -1}));
        QCOMPARE(positionAtColumn(0, 7, 0.0), qint64(7)); // no scale: no undefined conversion
        QVERIFY(positionAtColumn(10, 7, 0.0) > 7);
        QCOMPARE(QList<double>({valueAtRow(0, 810, 0, 1.5, 810.0 / 11), valueAtRow(810, 810, 0, 1.5, 810.0 / 11),
                                valueAtRow(405, 810, 0, 1.5, 810.0 / 11)}),
                 QList<double>({12.5, 1.5, 7}));
    }

    // The genome-wide copies and "Get GLOBAL" come from the first
    // computation for a file only, and only in the genome-wide view.
    void globalCopiesTakenOnce()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            answerFileDialog(writeFile(dir + "/g.txt", "1\t0\t0.5\n1\t1000\t0.01\n2\t0\t0.1\n2\t900\t0.2\n"));
            MyWidget w;
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            QCOMPARE(QSize(fwidth, fheight), QSize(int(0.8 * screen.width()), int(0.75 * screen.height())));
            // x 1..21 on the genome-wide axis, pad 1
            QCOMPARE(QList<int>({minX, maxX, GLOBAL_minX, GLOBAL_maxX}), QList<int>({0, 22, 0, 22}));
            const QList<double> copies{GLOBAL_pixPerX, GLOBAL_pixPerY};
            QCOMPARE(copies, QList<double>({pixPerX, pixPerY}));
            for (int view : {1, 0, 1}) {
                globaldisplay = view;
                Pos_list = {5000, 6000, 9000};
                Value_list = {1, 4, 9};
                w.getParameters();
                QCOMPARE(minX, 4800);
                QCOMPARE(QList<double>({double(GLOBAL_minX), double(GLOBAL_maxX), GLOBAL_pixPerX, GLOBAL_pixPerY}),
                         QList<double>({0, 22, copies[0], copies[1]}));
            }
            QCOMPARE(logText().count("Get GLOBAL\n"), 1);
        });
    }
};

QTEST_MAIN(GeometryTest)
#include "test_geometry.moc"
