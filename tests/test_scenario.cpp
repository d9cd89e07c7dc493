// A whole cropping session in one window: open a file, pick a chromosome
// with the mouse, zoom, save, remove, unzoom and save again.
#include "app/mywidget.h"
#include "app/state.h"
#include "support/testsupport.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// Three chromosomes; chr2 lies at genome-wide x 102-108, under columns
// 219-231 of the 640-pixel plot (axis -14 to 324). In its own plot chr2's
// axis runs from 1000 to 1640 bp, one pixel per base pair, and its scores
// 1 to 8 give rows from 0 (score 8.35) to 600 (score 0.65).
const QByteArray dataFile = "CHR\tPOS\tP\n"
                            "chr1\t0\t1e-3\nchr1\t10000\t1e-4\n"
                            "chr2\t1029\t1e-2\nchr2\t1095\t1e-6\nchr2\t1100\t1e-5\nchr2\t1200\t1e-3\n"
                            "chr2\t1300\t1e-8\nchr2\t1400\t1e-7\nchr2\t1500\t1e-6\nchr2\t1611\t1e-1\n"
                            "chr3\t0\t1e-2\nchr3\t20000\t1e-9\n";

} // namespace

class ScenarioTest : public QObject
{
    Q_OBJECT
private slots:
    void cropOneChromosome()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            answerFileDialog(writeFile(dir + "/gwas.txt", dataFile));
            MyWidget window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));

            // Pick chr2: the box's centre column 225 lies over x 104.
            drag(&window, QPoint(235, 50), QPoint(215, 500));
            QVERIFY(logText().contains("select chrom chr2 1 point 225 position 104 start 102 end 108 "
                                       "pixPerX 1.89349 minX -14\n\n"));

            // Zoom to 1100-1400 bp, scores from 4.5 up.
            drag(&window, QPoint(100, 0), QPoint(400, 300));
            QCOMPARE(Pos_list, QList<int>({1100, 1300, 1400}));

            answerTextDialog("zoomed");
            click(&window, "saveButton");
            QCOMPARE(readFile("zoomed.txt"),
                     kSaveHeader + "chr2\t1100\t1e-05\t5\nchr2\t1300\t1e-08\t8\nchr2\t1400\t1e-07\t7\n");

            // The zoomed plot spans 1085-1415 bp and scores 4.85-8.15: 1095
            // goes with the three points on show.
            click(&window, "removeButton");
            click(&window, "unzoomButton");
            QCOMPARE(Pos_list, QList<int>({1029, 1200, 1500, 1611}));

            answerTextDialog("rest");
            click(&window, "saveButton");
            QCOMPARE(readFile("rest.txt"), kSaveHeader + "chr2\t1029\t0.01\t2\nchr2\t1200\t0.001\t3\n"
                                                         "chr2\t1500\t1e-06\t6\nchr2\t1611\t0.1\t1\n");
            QVERIFY(!QImage("rest.png").isNull());
        });
    }
};

QTEST_MAIN(ScenarioTest)
#include "test_scenario.moc"
