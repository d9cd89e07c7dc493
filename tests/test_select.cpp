// The mouse box and what it does: the chromosome pick in the genome-wide
// view, the zoom in the chromosome view, removal and unzoom.
#include "app/mywidget.h"
#include "app/state.h"
#include "select/selection.h"
#include "support/reference.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QRubberBand>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

// Five runs laid end to end at x 1-200, 201-300, 301-401 (label 1 again),
// 402 (one point) and 403-583. The padded axis runs from -28 to 612, so on
// the 640-pixel plot of the 800x800 screen this program sets up one pixel is
// one unit of x and column c lies over genome-wide x c - 28.
const QByteArray genomeWideFile = "CHR\tPOS\tP\n1\t0\t1e-3\n1\t5000\t1e-6\n1\t19900\t1e-2\n2\t0\t1e-4\n2\t9900\t1e-5\n"
                                  "1\t100000\t1e-7\n1\t110000\t1e-3\nX\t500\t1e-2\n3\t100\t1e-5\n3\t18100\t1e-8\n";

// One chromosome, shown at once in the chromosome view: positions 1029 to
// 1611 give the padded axis 1000 to 1640, scores 1 to 8 the axis 0.65 to 8.35.
const QByteArray chromosomeFile = "CHR\tPOS\tP\n7\t1029\t1e-2\n7\t1095\t1e-6\n7\t1100\t1e-5\n7\t1200\t1e-3\n"
                                  "7\t1300\t1e-8\n7\t1400\t1e-7\n7\t1500\t1e-6\n7\t1611\t1e-1\n";

// Opens a data file, written to the working directory, in a shown window,
// so that the plot label has its plot's size and the mouse can be used on it.
std::unique_ptr<MyWidget> openWindow(const QByteArray &text)
{
    answerFileDialog(writeFile("data.txt", text));
    auto window = std::make_unique<MyWidget>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("window not exposed");
    return window;
}

// The mapping of the plot on show.
PixelMap shownMap()
{
    return PixelMap{axisOriginX(minX, maxX), pixPerX, axisOriginY(minY, maxY), pixPerY, fheight, ymargin};
}

// Drags a box over the plot on show whose area holds the positions lo..hi
// and the scores low..high, and little more: its edges lie one pixel past
// the marks' pixels.
void dragOver(MyWidget *window, int lo, int hi, double low, double high)
{
    const PixelMap map = shownMap();
    drag(window, QPoint(std::max(map.x(lo), 0), std::max(map.y(high) - 1, 0)),
         QPoint(map.x(hi) + 1, map.y(low) + 1));
}

} // namespace

class SelectTest : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir; // every window's data file and log go here

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir.path())); }
    void init() { resetProgramState(); }

    void pickChromosome()
    {
        // Entries 1-200, 201-300, 300-350 (touching the second) and 400-583
        // (after a gap); minX -28.
        const struct { const char *name; int x1, x2; double pixPerX; int point, position, index; } cases[] = {
            {"end inclusive, earlier entry wins", 327, 329, 1.0, 328, 300, 1},
            {"start is inclusive", 228, 231, 1.0, 229, 201, 1},
            {"half pixel goes left", 227, 230, 1.0, 228, 200, 0},
            {"centre, not widest cover", 0, 460, 1.0, 230, 202, 1},
            {"in the gap", 397, 399, 1.0, 398, 370, 0},
            {"column truncated", 100, 103, 3.0, 101, 5, 0},
        };
        for (const auto &c : cases) {
            const Pick pick = ::pickChromosome(c.x1, c.x2, c.pixPerX, -28, {1, 201, 300, 400}, {200, 300, 350, 583});
            QVERIFY2(pick.point == c.point && pick.position == c.position && pick.index == c.index, c.name);
        }
    }

    void zoomAreaEdgesAreInclusive()
    {
        // Columns 10 and 20 lie over 1020 and 1040; rows 100 and 300 over 5 and 3.
        const Area area = boxArea(Box{10, 100, 20, 300}, PixelMap{1000, 0.5, 0.0, 100.0, 600, 0});
        const QList<int> positions{1020, 1040, 1019, 1041, 1030, 1030, 1030};
        const QList<double> values{5.0, 3.0, 4.0, 4.0, std::nextafter(5.0, 6.0), std::nextafter(3.0, 2.0), NAN};
        QCOMPARE(pointsInside(positions, values, area).positions, QList<int>({1020, 1040}));
        // A score that is not a number is never inside, so removal keeps it.
        const Points outside = pointsOutside(positions, values, area);
        QCOMPARE(outside.positions, QList<int>({1019, 1041, 1030, 1030, 1030}));
        QVERIFY(std::isnan(outside.values.last()));
    }

    void mouseBoxInGenomeWideView_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QLine>("box"); // from the press to the release
        QTest::addColumn<QByteArray>("logged");
        QTest::addColumn<QList<int>>("shown"); // empty: the genome-wide view stays as it was
        auto row = [](const char *name, Qt::MouseButton button, QLine box, const QByteArray &logged,
                      const QList<int> &shown) { QTest::newRow(name) << int(button) << box << logged << shown; };
        auto picked = [](const char *entry, const char *label) {
            return QByteArray(entry) + " pixPerX 1 minX -28\n\nselected chromosome by getManhattan " + label + "\n";
        };
        const QList<int> firstRun{0, 5000, 19900}, none;
        row("end of the first, to below the label", Qt::LeftButton, {227, 100, 229, 650},
            picked("select chrom 1 0 point 228 position 200 start 1 end 200", "1"), firstRun);
        row("end of the second, reversed, middle button", Qt::MiddleButton, {329, 20, 327, 10},
            picked("select chrom 2 1 point 328 position 300 start 201 end 300", "2"), {0, 9900});
        const QByteArray secondRunOfOne = picked("select chrom 1 2 point 350 position 322 start 301 end 401", "1");
        row("second run of label 1, from above the label", Qt::LeftButton, {340, -6, 360, 300}, secondRunOfOne,
            {100000, 110000});
        row("one pixel", Qt::LeftButton, {350, 100, 351, 101}, secondRunOfOne, {100000, 110000});
        row("run of one point", Qt::LeftButton, {429, 100, 431, 300},
            picked("select chrom X 3 point 430 position 402 start 402 end 402", "X") +
                "Illegal data range in getManhattan!\n", none);
        row("from left to right of the label", Qt::LeftButton, {-5, 100, 648, 300},
            picked("select chrom 2 1 point 320 position 292 start 201 end 300", "2"), {0, 9900});
        row("vertical", Qt::LeftButton, {340, 100, 340, 300}, {}, none);
        row("horizontal, right button, below the label", Qt::RightButton, {300, 602, 360, 608}, {}, none);
    }
    void mouseBoxInGenomeWideView()
    {
        QFETCH(int, button);
        QFETCH(QLine, box);
        QFETCH(QList<int>, shown);
        auto window = openWindow(genomeWideFile);
        const QByteArray before = logText();
        const QList<int> genomeWide = Pos_list;
        drag(window.get(), box.p1(), box.p2(), Qt::MouseButton(button));
        QTEST(logText().mid(before.size()), "logged");
        QCOMPARE(globaldisplay, shown.isEmpty() ? 1 : 0);
        QCOMPARE(Pos_list, shown.isEmpty() ? genomeWide : shown);
        QCOMPARE(Pos_list2, Pos_list);
        QCOMPARE(shown.isEmpty() ? genomeWidePlotMismatch(window.get(), "data.txt", true)
                                 : chromosomePlotMismatch(window.get()), QString());
        // A box that did something is hidden; one without width or height stays.
        const bool picked = !logText().mid(before.size()).isEmpty();
        QCOMPARE(window->findChild<QRubberBand *>()->isVisible(), !picked);
    }

    // The same box picks in the genome-wide view and zooms in the chromosome
    // view; removal then works although the padded left bound is negative,
    // but not before any data is loaded.
    void boxDispatchesByViewAndRemoveTakesNegativeBound()
    {
        auto window = openWindow(genomeWideFile);
        drag(window.get(), QPoint(170, 0), QPoint(180, 600)); // x 142-152, chromosome 1
        QCOMPARE(Pos_list, QList<int>({0, 5000, 19900}));
        // Chromosome 1 is laid out from -995 to 20895 bp: the same box
        // covers about 4800 to 5160 bp.
        drag(window.get(), QPoint(170, 0), QPoint(180, 600));
        QCOMPARE(Pos_list, QList<int>({5000}));
        window->showRemaining();
        QVERIFY(minX < 0); // 0 less a pad of 995
        window->removeSelection();
        QVERIFY(Pos_list.isEmpty() && Pos_list2.isEmpty());
        resetProgramState(); // as at start-up, before any data: nothing to remove
        window->removeSelection();
        QCOMPARE(globaldisplay, 1);
        QCOMPARE(minX, -1);
    }

    // Every action through the window, in data units; after each one the
    // picture on show is the plot of the points the action leaves.
    void zoomRemoveAndUnzoom()
    {
        auto window = openWindow(chromosomeFile);
        QWidget *w = window.get();
        const auto shows = [w](const QList<int> &positions) {
            return Pos_list == positions ? chromosomePlotMismatch(w) : "points on show differ";
        };
        QCOMPARE(shows({1029, 1095, 1100, 1200, 1300, 1400, 1500, 1611}), QString());
        drag(w, pixelAt(1500, 8.3), pixelAt(1520, 8.1)); // above every point
        QCOMPARE(shows({}), QString());
        click(w, "unzoomButton");
        QCOMPARE(Pos_list.size(), 8);
        // 1100 and 1400 lie on the box's edges; scores from 4.5 up.
        drag(w, pixelAt(1400, 4.5), pixelAt(1100, 8.5), Qt::RightButton);
        QCOMPARE(shows({1100, 1300, 1400}), QString());
        // The zoomed plot spans 1085-1415 bp and scores 4.85-8.15, so 1095
        // (score 6), left out of the box, goes too.
        click(w, "removeButton");
        const QList<int> rest{1029, 1200, 1500, 1611};
        QCOMPARE(shows(rest), QString());
        QCOMPARE(Pos_list2, rest);
        // Zooming again and unzooming never brings a removed point back.
        drag(w, pixelAt(1150, 10), pixelAt(1700, 0));
        QCOMPARE(shows({1200, 1500, 1611}), QString());
        click(w, "unzoomButton");
        QCOMPARE(shows(rest), QString());
    }

    // "&Remove Selection" takes out the area of the plot on show with every
    // bound inclusive: a point on the area's right end or bottom goes.
    void removeTakesTheAreaOnShow_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QList<int>>("left");
        QTest::newRow("last position on the area's right end")
            << QByteArray("7\t1000\t1e-3\n7\t1010\t1e-5\n7\t1019\t1e-4\n") << QList<int>{};
        QTest::newRow("lowest score on the area's bottom")
            << QByteArray("7\t1000\t1e-8\n7\t1500\t1e-8\n7\t2000\t1e-8\n") << QList<int>{};
    }
    void removeTakesTheAreaOnShow()
    {
        QFETCH(QByteArray, rows);
        auto window = openWindow("CHR\tPOS\tP\n" + rows);
        click(window.get(), "removeButton");
        QTEST(Pos_list, "left");
        QCOMPARE(Pos_list2, Pos_list);
        QCOMPARE(chromosomePlotMismatch(window.get()), QString());
    }

    // Remove takes out the area on show and nothing more: where the points on
    // show share one score or one position, that area is just that score or
    // position, although the drawing widens it to put them in the middle.
    void removeTakesOnlyTheAreaOnShow_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<QList<double>>>("boxes"); // zooms: lo, hi, low, high
        QTest::addColumn<bool>("save");                  // with "Save &and Remove"
        QTest::addColumn<QList<int>>("zoomed");
        QTest::addColumn<QList<int>>("rest");
        const QByteArray header = "CHR\tPOS\tP\n";
        QTest::newRow("two hits of one score, saved and removed")
            << header + "7\t1000\t1e-2\n7\t5000\t1e-8\n7\t5500\t3.16227766e-8\n7\t5600\t1.58489319e-9\n"
                        "7\t6000\t1e-8\n7\t9000\t1e-3\n"
            << QList<QList<double>>{{5000, 6000, 8, 8}} << true << QList<int>{5000, 6000}
            << QList<int>{1000, 5500, 5600, 9000};
        QTest::newRow("one position holding two rows")
            << header + "7\t1000\t1e-2\n7\t7000\t1e-5\n7\t7000\t1e-6\n7\t7001\t3.16227766e-6\n7\t9000\t1e-3\n"
            << QList<QList<double>>{{7000, 7001, 5, 6}, {7000, 7000, 5, 6}} << false << QList<int>{7000, 7000}
            << QList<int>{1000, 7001, 9000};
    }
    void removeTakesOnlyTheAreaOnShow()
    {
        QFETCH(QList<QList<double>>, boxes);
        QFETCH(bool, save);
        QFETCH(QByteArray, file);
        auto window = openWindow(file);
        for (const QList<double> &b : boxes)
            dragOver(window.get(), int(b[0]), int(b[1]), b[2], b[3]);
        QTEST(Pos_list, "zoomed");
        if (save) {
            answerTextDialog("cut");
            window->saveAndRemove();
            QCOMPARE(readFile("cut.txt").count('\n'), 3); // the header and the two hits
        } else {
            window->removeSelection();
        }
        QTEST(Pos_list2, "rest");
        QTEST(Pos_list, "rest");
    }

    // Mouse positions become whole pixels by truncation, as under fractional
    // scaling: a press at (100.6, 50.6) is (100, 50).
    void fractionalPositionsTruncate()
    {
        auto window = openWindow(chromosomeFile);
        auto *image = window->findChild<QLabel *>("imageLabel");
        auto *band = window->findChild<QRubberBand *>("rubberBand");
        const QPointF at = QPointF(image->mapTo(window.get(), QPoint(100, 50))) + QPointF(0.6, 0.6);
        QMouseEvent press(QEvent::MouseButtonPress, at, window->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(window.get(), &press);
        QCOMPARE(band->geometry().topLeft(), QPoint(100, 50));
        const QPointF to = at + QPointF(20, 20);
        QMouseEvent move(QEvent::MouseMove, to, window->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(window.get(), &move);
        QCOMPARE(band->geometry(), QRect(QPoint(100, 50), QPoint(120, 70)));
    }
};

int main(int argc, char *argv[])
{
    useScreen(800, 800); // the pick rows name pixels of this screen
    QApplication app(argc, argv);
    SelectTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_select.moc"
