// A whole cropping session in one window: open a file, pick a chromosome
// with the mouse, zoom, save, remove, unzoom and save again.
#include "app/mywidget.h"
#include "app/state.h"
#include "support/reference.h"
#include "support/testsupport.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {

// Three chromosomes; chr2 lies at genome-wide x 102-108 (axis -14 to 324).
// In its own plot chr2's axis runs from 1000 to 1640 bp and 0.65 to 8.35.
const QByteArray dataFile = "CHR\tPOS\tP\n"
                            "chr1\t0\t1e-3\nchr1\t10000\t1e-4\n"
                            "chr2\t1029\t1e-2\nchr2\t1095\t1e-6\nchr2\t1100\t1e-5\nchr2\t1200\t1e-3\n"
                            "chr2\t1300\t1e-8\nchr2\t1400\t1e-7\nchr2\t1500\t1e-6\nchr2\t1611\t1e-1\n"
                            "chr3\t0\t1e-2\nchr3\t20000\t1e-9\n";

QImage onShow(QWidget *window) { return imageLabelOf(window)->pixmap().toImage(); }

} // namespace

class ScenarioTest : public QObject
{
    Q_OBJECT
private slots:
    // After each step the window shows the plot of the points the step
    // leaves, and each saved picture is the plot that was on show.
    void cropOneChromosome()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            const QString path = writeFile(dir + "/gwas.txt", dataFile);
            answerFileDialog(path);
            MyWidget window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(genomeWidePlotMismatch(&window, path, true), QString());

            // Pick chr2: a box around x 103 to 107, drawn from bottom right.
            drag(&window, pixelAt(107, 0), pixelAt(103, 9));
            QVERIFY(logText().contains("select chrom chr2 1 point "));
            QVERIFY(logText().contains(" start 102 end 108 pixPerX "));
            QCOMPARE(chromosomePlotMismatch(&window), QString());

            // Zoom to 1100-1400 bp, scores from 4.5 up.
            drag(&window, pixelAt(1100, 8.5), pixelAt(1400, 4.5));
            QCOMPARE(Pos_list, QList<int>({1100, 1300, 1400}));
            QCOMPARE(chromosomePlotMismatch(&window), QString());

            const QImage zoomed = onShow(&window);
            answerTextDialog("zoomed");
            click(&window, "saveButton");
            QCOMPARE(readFile("zoomed.txt"),
                     kSaveHeader + "chr2\t1100\t1e-05\t5\nchr2\t1300\t1e-08\t8\nchr2\t1400\t1e-07\t7\n");
            QCOMPARE(imageDifference(QImage("zoomed.png"), zoomed), QString());

            // The zoomed plot spans 1085-1415 bp and scores 4.85-8.15: 1095
            // goes with the three points on show.
            click(&window, "removeButton");
            click(&window, "unzoomButton");
            QCOMPARE(Pos_list, QList<int>({1029, 1200, 1500, 1611}));
            QCOMPARE(chromosomePlotMismatch(&window), QString());

            const QImage rest = onShow(&window);
            answerTextDialog("rest");
            click(&window, "saveButton");
            QCOMPARE(readFile("rest.txt"), kSaveHeader + "chr2\t1029\t0.01\t2\nchr2\t1200\t0.001\t3\n"
                                                         "chr2\t1500\t1e-06\t6\nchr2\t1611\t0.1\t1\n");
            QCOMPARE(imageDifference(QImage("rest.png"), rest), QString());

            // Back to the genome-wide picture painted at the start.
            click(&window, "globalButton");
            QCOMPARE(genomeWidePlotMismatch(&window, path, true), QString());
        });
    }
};

QTEST_MAIN(ScenarioTest)
#include "test_scenario.moc"
