// The mouse box and what it does: the chromosome pick in the genome-wide
// view, the zoom in the chromosome view, removal and unzoom.
#include "app/mywidget.h"
#include "app/state.h"
#include "select/selection.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QRubberBand>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// Five runs laid end to end at x 1-200, 201-300, 301-401 (label 1 again),
// 402 (one point) and 403-583. The padded axis runs from -28 to 612, so on
// the 640-pixel plot of the 800x800 offscreen screen one pixel is one unit
// of x and column c lies over genome-wide x c - 28.
const QByteArray genomeWideFile = "CHR\tPOS\tP\n"
                                  "1\t0\t1e-3\n1\t5000\t1e-6\n1\t19900\t1e-2\n"
                                  "2\t0\t1e-4\n2\t9900\t1e-5\n"
                                  "1\t100000\t1e-7\n1\t110000\t1e-3\n"
                                  "X\t500\t1e-2\n"
                                  "3\t100\t1e-5\n3\t18100\t1e-8\n";

// One chromosome, shown at once in the chromosome view. Positions 1029 to
// 1611 give the padded axis 1000 to 1640: column c lies over position
// 1000 + c. Scores 1 to 8 give rows from 0 (score 8.35) to 600 (0.65).
const QByteArray chromosomeFile = "CHR\tPOS\tP\n"
                                  "7\t1029\t1e-2\n7\t1095\t1e-6\n7\t1100\t1e-5\n7\t1200\t1e-3\n"
                                  "7\t1300\t1e-8\n7\t1400\t1e-7\n7\t1500\t1e-6\n7\t1611\t1e-1\n";
const QList<int> allPositions{1029, 1095, 1100, 1200, 1300, 1400, 1500, 1611};

// Opens a data file in a shown window, so that the plot label has its
// plot's size and the mouse can be used on it.
std::unique_ptr<MyWidget> openWindow(const QString &path)
{
    answerFileDialog(path);
    auto window = std::make_unique<MyWidget>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("window not exposed");
    return window;
}

QLabel *imageOf(MyWidget *window)
{
    return window->findChild<QLabel *>(QStringLiteral("imageLabel"));
}

// Presses, drags and releases on the window, the points given in the
// plot label's coordinates.
void drag(MyWidget *window, QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton)
{
    QLabel *image = imageOf(window);
    QTest::mousePress(window, button, {}, image->mapTo(window, from));
    QTest::mouseMove(window, image->mapTo(window, to));
    QTest::mouseRelease(window, button, {}, image->mapTo(window, to));
}

void click(MyWidget *window, const char *button)
{
    QTest::mouseClick(window->findChild<QPushButton *>(QString::fromLatin1(button)), Qt::LeftButton);
}

} // namespace

class SelectTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetProgramState(); }

    void settleBox_data()
    {
        QTest::addColumn<QRect>("drawn"); // corners (x1, y1) and (x2, y2), as width/height
        QTest::addColumn<QRect>("settled");
        QTest::addColumn<bool>("area");
        // The label is 100 x 50; QRect(x1, y1, x2, y2) is only a carrier here.
        QTest::newRow("inside") << QRect(10, 20, 30, 40) << QRect(10, 20, 30, 40) << true;
        QTest::newRow("reversed both ways") << QRect(30, 40, 10, 20) << QRect(10, 20, 30, 40) << true;
        QTest::newRow("left of the label") << QRect(-5, 10, 30, 40) << QRect(0, 10, 30, 40) << true;
        QTest::newRow("above, reversed") << QRect(10, 20, 30, -7) << QRect(10, 0, 30, 20) << true;
        QTest::newRow("past the right edge") << QRect(90, 10, 150, 40) << QRect(90, 10, 100, 40) << true;
        QTest::newRow("past the bottom edge") << QRect(10, 30, 20, 51) << QRect(10, 30, 20, 50) << true;
        QTest::newRow("round all sides") << QRect(200, 300, -3, -4) << QRect(0, 0, 100, 50) << true;
        QTest::newRow("both below") << QRect(10, 60, 30, 70) << QRect(10, 50, 30, 50) << false;
        QTest::newRow("both left") << QRect(-10, 5, -3, 40) << QRect(0, 5, 0, 40) << false;
        QTest::newRow("both right") << QRect(101, 5, 140, 40) << QRect(100, 5, 100, 40) << false;
        QTest::newRow("horizontal") << QRect(10, 20, 30, 20) << QRect(10, 20, 30, 20) << false;
        QTest::newRow("vertical") << QRect(10, 20, 10, 30) << QRect(10, 20, 10, 30) << false;
        QTest::newRow("click") << QRect(5, 5, 5, 5) << QRect(5, 5, 5, 5) << false;
        QTest::newRow("one pixel") << QRect(10, 10, 11, 11) << QRect(10, 10, 11, 11) << true;
    }
    void settleBox()
    {
        QFETCH(QRect, drawn);
        QFETCH(QRect, settled);
        QFETCH(bool, area);
        const Box b = ::settleBox(Box{drawn.x(), drawn.y(), drawn.width(), drawn.height()}, 100, 50);
        QCOMPARE(QRect(b.x1, b.y1, b.x2, b.y2), settled);
        QCOMPARE(b.hasArea(), area);
    }

    void pickChromosome_data()
    {
        QTest::addColumn<int>("x1");
        QTest::addColumn<int>("x2");
        QTest::addColumn<double>("pixPerX");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("point");
        QTest::addColumn<int>("position");
        // Entries 1-200, 201-300, 350-583 (a gap before the last), minX -28.
        QTest::newRow("inside the second") << 250 << 260 << 1.0 << 1 << 255 << 227;
        QTest::newRow("end is inclusive") << 327 << 329 << 1.0 << 1 << 328 << 300;
        QTest::newRow("start is inclusive") << 228 << 231 << 1.0 << 1 << 229 << 201;
        QTest::newRow("half pixel goes left") << 227 << 230 << 1.0 << 0 << 228 << 200;
        QTest::newRow("one pixel wide") << 229 << 230 << 1.0 << 1 << 229 << 201;
        QTest::newRow("centre, not widest cover") << 0 << 460 << 1.0 << 1 << 230 << 202;
        QTest::newRow("in the gap") << 360 << 362 << 1.0 << 0 << 361 << 333;
        QTest::newRow("left of the first") << 0 << 20 << 1.0 << 0 << 10 << -18;
        QTest::newRow("right of the last") << 600 << 640 << 1.0 << 0 << 620 << 592;
        QTest::newRow("column truncated") << 100 << 103 << 3.0 << 0 << 101 << 5;
        QTest::newRow("two pixels per unit") << 600 << 640 << 2.0 << 1 << 620 << 282;
    }
    void pickChromosome()
    {
        QFETCH(int, x1);
        QFETCH(int, x2);
        QFETCH(double, pixPerX);
        QFETCH(int, index);
        QFETCH(int, point);
        QFETCH(int, position);
        const QVector<int> start{1, 201, 350}, end{200, 300, 583};
        const Pick pick = ::pickChromosome(x1, x2, pixPerX, -28, start, end);
        QCOMPARE(pick.point, point);
        QCOMPARE(pick.position, qint64(position));
        QCOMPARE(pick.index, index);
    }

    void pickTakesEarlierOfTouchingEntries()
    {
        // The first entry ends where the second starts: the first one wins.
        const Pick pick = ::pickChromosome(10, 12, 1.0, 0, {1, 11, 20}, {11, 19, 30});
        QCOMPARE(pick.position, qint64(11));
        QCOMPARE(pick.index, 0);
    }

    void zoomAreaEdgesAreInclusive()
    {
        // Columns 10 and 20 lie over 1020 and 1040; rows 100 and 300 over 5 and 3.
        const Area area = boxArea(Box{10, 100, 20, 300}, 1000, 0.5, 600, 0, 0.0, 100.0);
        QCOMPARE(area.lo, qint64(1020));
        QCOMPARE(area.hi, qint64(1040));
        QCOMPARE(area.loValue, 3.0);
        QCOMPARE(area.hiValue, 5.0);
        const QList<int> positions{1020, 1040, 1019, 1041, 1030, 1030, 1030};
        const QList<double> values{5.0, 3.0, 4.0, 4.0, std::nextafter(5.0, 6.0), std::nextafter(3.0, 2.0), NAN};
        const Points inside = pointsInside(positions, values, area);
        QCOMPARE(inside.positions, QList<int>({1020, 1040}));
        QCOMPARE(inside.values, QList<double>({5.0, 3.0}));
        // A score that is not a number is never inside, so removal keeps it.
        const Points outside = pointsOutside(positions, values, area);
        QCOMPARE(outside.positions, QList<int>({1019, 1041, 1030, 1030, 1030}));
        QVERIFY(std::isnan(outside.values.last()));
    }

    void mouseBoxInGenomeWideView_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<QByteArray>("logged"); // empty: nothing happens
        const QByteArray first = " start 1 end 200 pixPerX 1 minX -28\n\nselected chromosome by getManhattan 1\n";
        const QByteArray second = " start 201 end 300 pixPerX 1 minX -28\n\nselected chromosome by getManhattan 2\n";
        QTest::newRow("end of the first") << int(Qt::LeftButton) << QPoint(227, 100) << QPoint(229, 300)
                                          << "select chrom 1 0 point 228 position 200" + first;
        QTest::newRow("reversed, right button") << int(Qt::RightButton) << QPoint(229, 300) << QPoint(227, 100)
                                                << "select chrom 1 0 point 228 position 200" + first;
        QTest::newRow("end of the second, middle button") << int(Qt::MiddleButton) << QPoint(327, 10)
                                                          << QPoint(329, 20)
                                                          << "select chrom 2 1 point 328 position 300" + second;
        QTest::newRow("from left of the label") << int(Qt::LeftButton) << QPoint(-5, 100) << QPoint(20, 300)
                                                << "select chrom 1 0 point 10 position -18" + first;
        QTest::newRow("to past the right edge") << int(Qt::LeftButton) << QPoint(600, 100) << QPoint(648, 300)
                                                << "select chrom 1 0 point 620 position 592" + first;
        QTest::newRow("above the label") << int(Qt::LeftButton) << QPoint(340, -6) << QPoint(360, -2) << QByteArray();
        QTest::newRow("below the label") << int(Qt::LeftButton) << QPoint(340, 602) << QPoint(360, 608)
                                         << QByteArray();
        QTest::newRow("left of the label") << int(Qt::LeftButton) << QPoint(-8, 100) << QPoint(-2, 300)
                                           << QByteArray();
        QTest::newRow("click") << int(Qt::LeftButton) << QPoint(340, 100) << QPoint(340, 100) << QByteArray();
        QTest::newRow("horizontal") << int(Qt::RightButton) << QPoint(300, 100) << QPoint(360, 100) << QByteArray();
    }
    void mouseBoxInGenomeWideView()
    {
        QFETCH(int, button);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QByteArray, logged);
        inTemporaryWorkingDirectory([&](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/g.txt", genomeWideFile));
            QCOMPARE(imageOf(window.get())->size(), QSize(640, 600));
            const QByteArray before = logText();
            const QList<int> genomeWide = Pos_list;
            drag(window.get(), from, to, Qt::MouseButton(button));
            QCOMPARE(logText(), before + logged);
            QCOMPARE(globaldisplay, logged.isEmpty() ? 1 : 0);
            if (logged.isEmpty())
                QCOMPARE(Pos_list, genomeWide);
        });
    }

    void rubberBandFollowsTheDrag()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/g.txt", genomeWideFile));
            auto *band = window->findChild<QRubberBand *>(QStringLiteral("rubberBand"));
            const QRect expected(QPoint(250, 100), QPoint(300, 200));
            // Up and to the left (a pick follows), then down and to the right
            // (a zoom follows): the same band both ways.
            for (const auto &[from, to] : {std::pair{QPoint(300, 200), QPoint(250, 100)},
                                          std::pair{QPoint(250, 100), QPoint(300, 200)}}) {
                const QPoint press = imageOf(window.get())->mapTo(window.get(), from);
                const QPoint release = imageOf(window.get())->mapTo(window.get(), to);
                QTest::mousePress(window.get(), Qt::LeftButton, {}, press);
                QVERIFY(band->isVisible());
                QTest::mouseMove(window.get(), release);
                QCOMPARE(band->geometry(), expected);
                QTest::mouseRelease(window.get(), Qt::LeftButton, {}, release);
                QVERIFY(!band->isVisible()); // the action hides it
            }
        });
    }

    void pickOfRepeatedLabelShowsThatRun()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/g.txt", genomeWideFile));
            drag(window.get(), QPoint(340, 100), QPoint(360, 300));
            QVERIFY(logText().endsWith("select chrom 1 2 point 350 position 322 start 301 end 401 pixPerX 1 "
                                       "minX -28\n\nselected chromosome by getManhattan 1\n"));
            QCOMPARE(selected_chromosome, 2);
            QCOMPARE(Pos_list, QList<int>({100000, 110000}));
            QCOMPARE(Pos_list2, Pos_list);
        });
    }

    void pickOfOnePointRunStaysGenomeWide()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/g.txt", genomeWideFile));
            const QList<int> positions = Pos_list;
            const QList<double> values = Value_list;
            drag(window.get(), QPoint(429, 100), QPoint(431, 300)); // x 402, the run "X"
            QVERIFY(logText().endsWith("select chrom X 3 point 430 position 402 start 402 end 402 pixPerX 1 minX "
                                       "-28\n\nselected chromosome by getManhattan X\n"
                                       "Illegal data range in getManhattan!\n"));
            QCOMPARE(globaldisplay, 1);
            QCOMPARE(Pos_list, positions);
            QCOMPARE(Value_list, values);
            QCOMPARE(Pos_list2, positions);
            // The window goes on working: the next box picks as before.
            drag(window.get(), QPoint(229, 100), QPoint(231, 300));
            QCOMPARE(selected_chromosome, 1);
            QCOMPARE(Pos_list, QList<int>({0, 9900}));
        });
    }

    void sameBoxPicksThenZooms()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/g.txt", genomeWideFile));
            drag(window.get(), QPoint(170, 0), QPoint(180, 600)); // x 142-152, chromosome 1
            QCOMPARE(globaldisplay, 0);
            QCOMPARE(Pos_list, QList<int>({0, 5000, 19900}));
            // Chromosome 1 is laid out from -995 to 20895 bp: the same box
            // covers about 4800 to 5160 bp.
            drag(window.get(), QPoint(170, 0), QPoint(180, 600));
            QCOMPARE(globaldisplay, 0);
            QCOMPARE(Pos_list, QList<int>({5000}));
            QCOMPARE(Pos_list2, QList<int>({0, 5000, 19900}));
        });
    }

    void emptyZoomThenUnzoom()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/c.txt", chromosomeFile));
            drag(window.get(), QPoint(500, 0), QPoint(520, 10)); // above every point
            QVERIFY(Pos_list.isEmpty());
            QVERIFY(Value_list.isEmpty());
            drag(window.get(), QPoint(0, 0), QPoint(640, 600)); // still nothing on show
            QVERIFY(Pos_list.isEmpty());
            click(window.get(), "unzoomButton");
            QCOMPARE(Pos_list, allPositions);
            QCOMPARE(Value_list, Value_list2);
        });
    }

    void zoomThenRemoveTakesThePaddedArea()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/c.txt", chromosomeFile));
            QCOMPARE(globaldisplay, 0);
            // The label may be wider than the plot, which sits at its left edge.
            QVERIFY(imageOf(window.get())->width() >= 640);
            QCOMPARE(imageOf(window.get())->height(), 600);
            // Positions 1100 to 1400 (both on an edge of the box), scores
            // from 4.5 up; the remaining points stay as they were.
            drag(window.get(), QPoint(400, 300), QPoint(100, 0), Qt::RightButton);
            QCOMPARE(Pos_list, QList<int>({1100, 1300, 1400}));
            QCOMPARE(Pos_list2, allPositions);
            QVERIFY(!window->findChild<QRubberBand *>(QStringLiteral("rubberBand"))->isVisible());
            // The zoomed plot spans 1085-1415 bp and scores 4.85-8.15, so
            // 1095 (score 6), left out of the box, goes too.
            click(window.get(), "removeButton");
            const QList<int> rest{1029, 1200, 1500, 1611};
            QCOMPARE(Pos_list, rest);
            QCOMPARE(Pos_list2, rest);
            QCOMPARE(Value_list, Value_list2);
            QCOMPARE(Value_list.size(), 4);
            QCOMPARE(std::round(Value_list[2]), 6.0);
            // Unzoom right after a removal changes nothing.
            click(window.get(), "unzoomButton");
            QCOMPARE(Pos_list, rest);
            // Zooming again and unzooming never brings a removed point back.
            drag(window.get(), QPoint(150, 0), QPoint(640, 600));
            QCOMPARE(Pos_list, QList<int>({1200, 1500, 1611}));
            click(window.get(), "unzoomButton");
            QCOMPARE(Pos_list, rest);
        });
    }

    void removeWorksWithNegativeLeftBound()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/g.txt", genomeWideFile));
            drag(window.get(), QPoint(100, 100), QPoint(120, 300)); // chromosome 1
            QCOMPARE(Pos_list, QList<int>({0, 5000, 19900}));
            QVERIFY(minX < 0); // 0 less a pad of 995
            click(window.get(), "removeButton");
            QVERIFY(Pos_list.isEmpty());
            QVERIFY(Pos_list2.isEmpty());
        });
    }

    void removeBeforeAnyDataDoesNothing()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/c.txt", chromosomeFile));
            resetProgramState(); // as at start-up: nothing loaded, nothing laid out
            window->removeSelection();
            QCOMPARE(globaldisplay, 1);
            QCOMPARE(minX, -1);
            QVERIFY(Pos_list.isEmpty());
        });
    }
};

QTEST_MAIN(SelectTest)
#include "test_select.moc"
