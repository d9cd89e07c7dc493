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

static const QRect fullHd(0, 0, 1920, 1080); // pixmap 1536 x 810
static const double notANumber = std::nan("");

class GeometryTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetProgramState(); }

    // x: the first and last position in list order, padded by 5 % of their difference truncated
    // toward zero. y: the smallest and largest value, NaN ignored, padded by 5 % of their spread.
    // The pixmap is 80 % x 75 % of the screen, truncated: 1092.8 x 576 on a screen of 1366 x 768.
    void axisRanges()
    {
        struct Case { QList<int> positions; QList<double> values; int minX, maxX; };
        const Case cases[] = {{{1000, 1019}, {2, 12}, 1000, 1019}, {{100, 130}, {12, 2}, 99, 131},
                              {{0, 5000, -7000, 100}, {notANumber, 12, notANumber, 2}, -5, 105}, // middle ignored
                              {{130, 100}, {2, 12}, 131, 99}, {{-300, -100}, {2, 12}, -310, -90}}; // reversed: pad -1
        for (const Case &c : cases) {
            const Geometry g = computeGeometry(c.positions, c.values, QRect(1920, 0, 1366, 768));
            QCOMPARE(QList<int>({g.fwidth, g.fheight, g.realMinX, g.realMaxX, g.minX, g.maxX}),
                     QList<int>({1092, 576, c.positions.first(), c.positions.last(), c.minX, c.maxX}));
            QCOMPARE(QList<double>({g.realMaxY, g.minY, g.maxY, g.pixPerX, g.pixPerY}),
                     QList<double>({12, 1.5, 12.5, 1092.0 / (c.maxX - c.minX), 576.0 / 11}));
        }
        const Geometry empty = computeGeometry({}, {}, fullHd); // never reads outside a list
        QCOMPARE(QList<double>({empty.realMaxY, empty.minY, empty.maxY, empty.pixPerY, empty.pixPerX}),
                 QList<double>({-9999999.9, 10999999.89, -10999999.89, 810 / -21999999.78, 1536 / 2}));
    }

    // A zero spread leaves the area on show at that one position or score, which is all that
    // removal takes out; only the drawing widens it, so the scales stay finite and the point(s)
    // land in the middle. Positions at the ends of the 32-bit range neither overflow nor leave
    // the pixmap's span.
    void degenerateSpreads()
    {
        struct Case { QList<int> positions; QList<double> values; bool centred; };
        const Case cases[] = {{{500}, {7}, true}, {{500, 900, 500}, {7, 7, 7}, true}, {{-123456789}, {-3}, true},
                              {{INT_MIN, INT_MAX}, {1, 1}, false}, {{INT_MAX - 1, INT_MAX}, {1, 1}, false}};
        for (const Case &c : cases) {
            const Geometry g = computeGeometry(c.positions, c.values, fullHd);
            QVERIFY(std::isfinite(g.pixPerX) && g.pixPerX != 0 && std::isfinite(g.pixPerY) && g.pixPerY > 0);
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

    // Columns and rows truncate toward zero; no NaN or out-of-range double is converted to int.
    void truncationTowardZero()
    {
        const PixelMap map{100, 0.7, 0.0, 0.7, 600, 0}; // one unit left of minX is column -0.7, so 0
        QCOMPARE(QList<int>({map.x(99), map.x(98), map.x(102), map.y(-1), map.y(-2), map.y(2), map.y(notANumber)}),
                 QList<int>({0, -1, 1, 600, 601, 599, 600}));
        QVERIFY(map.y(HUGE_VAL) < 0 && map.y(-HUGE_VAL) > 600); // clamped
        QVERIFY(PixelMap({INT_MIN, 1.0, 0, 1, 600, 0}).x(INT_MAX) > 0); // clamped, not wrapped

        // Back to positions: 150 / (1536 / 110) = 10.74 -> 10 and -0.5 -> 0; no scale, no conversion.
        const double perX = 1536.0 / 110;
        QCOMPARE(QList<qint64>({positionAtColumn(0, -5, perX), positionAtColumn(150, -5, perX),
                                positionAtColumn(10, 0, -20.0), positionAtColumn(30, 0, -20.0),
                                positionAtColumn(0, 7, 0.0)}),
                 QList<qint64>({-5, 5, 0, -1, 7}));
        QCOMPARE(QList<double>({valueAtRow(0, 810, 0, 1.5, 810.0 / 11), valueAtRow(405, 810, 0, 1.5, 810.0 / 11)}),
                 QList<double>({12.5, 7}));
    }

    // The genome-wide copies and "Get GLOBAL" come from the first computation for a file only.
    void globalCopiesTakenOnce()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            answerFileDialog(writeFile(dir + "/g.txt", "1\t0\t0.5\n1\t1000\t0.01\n2\t0\t0.1\n2\t900\t0.2\n"));
            MyWidget w;
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            QCOMPARE(QSize(fwidth, fheight), QSize(int(0.8 * screen.width()), int(0.75 * screen.height())));
            const QList<double> copies{0, 22, pixPerX, pixPerY}; // x 1..21 on the genome-wide axis, pad 1
            for (int view : {1, 0, 1}) { // again in either view: the copies stay
                globaldisplay = view;
                Pos_list = {5000, 6000, 9000};
                Value_list = {1, 4, 9};
                w.getParameters();
                QCOMPARE(QList<double>({double(minX), double(GLOBAL_minX), double(GLOBAL_maxX), GLOBAL_pixPerX,
                                        GLOBAL_pixPerY}), QList<double>{4800} + copies);
            }
            QCOMPARE(logText().count("Get GLOBAL\n"), 1);
        });
    }
};

QTEST_MAIN(GeometryTest)
#include "test_geometry.moc"
