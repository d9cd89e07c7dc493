// The two loads: genome-wide x coordinates and the chromosome table built
// from a whole file, and one run read back with its base-pair positions.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/loads.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cmath>

namespace {

// n runs of two rows each, labels alternating 1/2, every run spanning
// (nearly) the whole 32-bit position range in the given direction; the last
// row of the file has position `lastPosition`.
QByteArray spanningRuns(int runs, int from, int to, int lastPosition)
{
    QByteArray text;
    for (int r = 0; r < runs; ++r) {
        const QByteArray label = r % 2 ? "2" : "1";
        const int end = r == runs - 1 ? lastPosition : to;
        text += label + "\t" + QByteArray::number(from) + "\t0.5\n";
        text += label + "\t" + QByteArray::number(end) + "\t0.5\n";
    }
    return text;
}

QList<double> minusLog10(std::initializer_list<double> pValues)
{
    QList<double> scores;
    for (double p : pValues)
        scores.append(-std::log10(p));
    return scores;
}

} // namespace

class LoadsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    QString dataFile(const QByteArray &text)
    {
        return writeFile(dir.filePath(QString("data%1.txt").arg(++files)), text);
    }

private slots:
    void init() { resetProgramState(); }

    void genomeWideX_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<int>>("x");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QList<int>>("startIndex");
        QTest::addColumn<QList<int>>("startValue");
        QTest::addColumn<QList<int>>("endValue");

        QTest::newRow("two runs end to end")
            << QByteArray("1\t100\t0.5\n1\t250\t0.5\n1\t1000\t0.5\n2\t5000\t0.5\n2\t5150\t0.5\n")
            << QList<int>{1, 2, 10, 11, 12} << QStringList{"1", "2"} << QList<int>{0, 3} << QList<int>{1, 11}
            << QList<int>{10, 12};
        QTest::newRow("label that returns")
            << QByteArray("1\t0\t0.5\n1\t300\t0.5\n2\t100\t0.5\n1\t700\t0.5\n1\t900\t0.5\n")
            << QList<int>{1, 4, 5, 6, 8} << QStringList{"1", "2", "1"} << QList<int>{0, 2, 3}
            << QList<int>{1, 5, 6} << QList<int>{4, 5, 8};
        // -150 / 100 is -1 and -99 / 100 is 0 (toward zero, not down).
        QTest::newRow("negative positions")
            << QByteArray("1\t-150\t0.5\n1\t-99\t0.5\n1\t99\t0.5\n1\t250\t0.5\n2\t-250\t0.5\n2\t-199\t0.5\n")
            << QList<int>{1, 2, 2, 4, 5, 6} << QStringList{"1", "2"} << QList<int>{0, 4} << QList<int>{1, 5}
            << QList<int>{4, 6};
        // Table x values are those of the first and last rows, not min/max;
        // a later run starts one after the row before, even below zero.
        QTest::newRow("unsorted rows")
            << QByteArray("1\t1000\t0.5\n1\t500\t0.5\n1\t1200\t0.5\n1\t300\t0.5\n2\t900\t0.5\n2\t100\t0.5\n")
            << QList<int>{1, -4, 3, -6, -5, -13} << QStringList{"1", "2"} << QList<int>{0, 4}
            << QList<int>{1, -5} << QList<int>{-6, -13};
        // Skipped rows, of this label or another, do not split a run.
        QTest::newRow("skipped rows inside a run")
            << QByteArray("1\t100\t0.5\n1\t200\tNA\n2\t300\tNA\n\n2\t400\t0\n1\t500\t0.5\n3\tx\t0.0\n1\t700\t0.5\n"
                          "2\t800\t0.5\n2\t900\t0.5\n")
            << QList<int>{1, 5, 7, 8, 9} << QStringList{"1", "2"} << QList<int>{0, 3} << QList<int>{1, 8}
            << QList<int>{7, 9};
        QTest::newRow("empty label first")
            << QByteArray("CHR\tPOS\tP\n\t100\t0.5\n\t200\t0.5\n1\t300\t0.5\n1\t400\t0.5\n")
            << QList<int>{1, 2, 3, 4} << QStringList{"", "1"} << QList<int>{0, 2} << QList<int>{1, 3}
            << QList<int>{2, 4};
        QTest::newRow("empty label after a label")
            << QByteArray("CHR\tPOS\tP\n1\t100\t0.5\n\t200\t0.5\n\t900\t0.5\n") << QList<int>{1, 2, 9}
            << QStringList{"1", ""} << QList<int>{0, 1} << QList<int>{1, 2} << QList<int>{1, 9};
        QTest::newRow("two rows are enough")
            << QByteArray("7\t100\t0.5\n7\t100\t0.5\n") << QList<int>{1, 1} << QStringList{"7"} << QList<int>{0}
            << QList<int>{1} << QList<int>{1};
    }

    void genomeWideX()
    {
        QFETCH(QByteArray, text);
        const GenomeWide g = loadGenomeWide(dataFile(text));
        QCOMPARE(g.fault, Fault::None);
        QTEST(g.x, "x");
        QTEST(g.table.tags, "tags");
        QTEST(g.table.startIndex, "startIndex");
        QTEST(g.table.startValue, "startValue");
        QTEST(g.table.endValue, "endValue");

        // The table's invariants.
        const ChromosomeTable &t = g.table;
        const int runs = int(t.tags.size());
        QCOMPARE(g.scores.size(), g.x.size());
        for (qsizetype size : {t.startIndex.size(), t.endIndex.size(), t.endValue.size(), t.colorValue.size(),
                               t.startOffset.size()})
            QCOMPARE(size, qsizetype(runs));
        QCOMPARE(t.endIndex.last(), int(g.x.size()) - 1);
        for (int k = 0; k < runs; ++k) {
            QCOMPARE(t.startValue[k], g.x[t.startIndex[k]]);
            QCOMPARE(t.endValue[k], g.x[t.endIndex[k]]);
            if (k > 0) {
                QCOMPARE(t.startIndex[k], t.endIndex[k - 1] + 1);
                QCOMPARE(t.startValue[k], t.endValue[k - 1] + 1);
            }
        }
    }

    void scoresAreMinusLog10()
    {
        const GenomeWide g = loadGenomeWide(dataFile("1\t100\t0.01\n1\t200\t1\n1\t300\t3.2e-8\n"));
        QCOMPARE(g.fault, Fault::None);
        QCOMPARE(g.scores, minusLog10({0.01, 1, 3.2e-8}));
    }

    void coloursAlternate()
    {
        const GenomeWide g = loadGenomeWide(dataFile("1\t1\t.5\n2\t1\t.5\n3\t1\t.5\n4\t1\t.5\n5\t1\t.5\n"));
        QCOMPARE(g.fault, Fault::None);
        QCOMPARE(g.table.colorValue, (QList<int>{255, 50, 255, 50, 255}));
    }

    void tooFewRows_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("header only") << QByteArray("CHR\tPOS\tP\n");
        QTest::newRow("one row") << QByteArray("1\t100\t0.5\n");
        QTest::newRow("all NA") << QByteArray("CHR\tPOS\tP\n1\t100\tNA\n1\t200\tNA\n");
        QTest::newRow("one kept among NA and zero") << QByteArray("CHR\tPOS\tP\n1\t1\tNA\n2\t2\t0.5\n3\t3\t0\n\n");
    }

    void tooFewRows()
    {
        QFETCH(QByteArray, text);
        const GenomeWide g = loadGenomeWide(dataFile(text));
        QCOMPARE(g.fault, Fault::TooFewRowsGenomeWide);
        QCOMPARE(faultMessage(g.fault), QString("Illegal data range in getManhattan0!"));
    }

    // Each run remembers where its first kept row starts in the file.
    void startOffsetsPointAtFirstKeptRows()
    {
        const QByteArray text = "CHR\tPOS\tP\r\n1\t100\t0.5\r\n1\t200\t0.5\r\n2\t300\tNA\r\n\r\n2\t400\t0.5\r\n"
                                "2\t500\t0.5\r\n1\t600\t0.5\r\n1\t700\t0.5";
        const GenomeWide g = loadGenomeWide(dataFile(text));
        QCOMPARE(g.fault, Fault::None);
        const QList<QByteArray> firstRows{"1\t100\t", "2\t400\t", "1\t600\t"};
        QCOMPARE(g.table.startOffset.size(), firstRows.size());
        for (int k = 0; k < firstRows.size(); ++k)
            QVERIFY2(text.mid(g.table.startOffset[k]).startsWith(firstRows[k]), qPrintable(QString::number(k)));
    }

    void genomeWideOverflow_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("overflows");
        // Each upward run adds 42949673 to x: after 49 full runs a last run
        // ending at 2147483300 reaches exactly INT_MAX; 100 bp more is past it.
        QTest::newRow("reaches INT_MAX") << spanningRuns(50, -2147483600, 2147483600, 2147483300) << false;
        QTest::newRow("one past INT_MAX") << spanningRuns(50, -2147483600, 2147483600, 2147483400) << true;
        QTest::newRow("far past INT_MAX") << spanningRuns(80, INT_MIN, INT_MAX, INT_MAX) << true;
        QTest::newRow("below INT_MIN") << spanningRuns(60, 2147483600, -2147483600, -2147483600) << true;
    }

    void genomeWideOverflow()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, overflows);
        const GenomeWide g = loadGenomeWide(dataFile(text));
        if (overflows) {
            QCOMPARE(g.fault, Fault::GenomeWideOverflow);
            QVERIFY(!faultMessage(g.fault).isEmpty());
        } else {
            QCOMPARE(g.fault, Fault::None);
            QCOMPARE(g.x.last(), INT_MAX);
            QCOMPARE(g.table.startValue.last(), g.table.endValue[g.table.endValue.size() - 2] + 1);
        }
    }

    // The chromosome view of a table entry reads back exactly that entry's
    // run, positions as read and in file order.
    void runOfEntry_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QList<int>>("positions");

        const QByteArray repeated = "1\t100\t0.5\n1\t250\t0.1\n2\t300\t0.5\n2\t400\t0.5\n1\t5000\t0.2\n1\t6000\t0.3\n"
                                    "1\t7000\t0.4\n";
        QTest::newRow("first run of a repeated label") << repeated << 0 << QList<int>{100, 250};
        QTest::newRow("second run of a repeated label") << repeated << 2 << QList<int>{5000, 6000, 7000};
        QTest::newRow("other label's NA and zero inside")
            << QByteArray("1\t100\t0.5\n1\t200\t0.5\n2\t300\tNA\n1\t400\t0.5\n2\t500\t0\n1\t600\t0.5\n3\t1\t.5\n")
            << 0 << QList<int>{100, 200, 400, 600};
        QTest::newRow("own NA, zero and empty lines inside")
            << QByteArray("1\t100\t0.5\n1\t150\tNA\n\n1\t200\t0\n1\t300\t0.5\n") << 0 << QList<int>{100, 300};
        QTest::newRow("unsorted and negative, as read")
            << QByteArray("1\t1\t.5\n1\t2\t.5\n2\t900\t.5\n2\t-150\t.5\n2\t250\t.5\n") << 1
            << QList<int>{900, -150, 250};
        QTest::newRow("header, other column order")
            << QByteArray("P,CHR,POS\n0.5,1,100\n0.5,1,200\n0.5,2,300\n0.01,2,400\n") << 1
            << QList<int>{300, 400};
        QTest::newRow("CR LF, no line end at the end")
            << QByteArray("1\t100\t0.5\r\n1\t200\t0.5\r\n2\t300\t0.5\r\n2\t400\t0.5") << 1 << QList<int>{300, 400};
    }

    void runOfEntry()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, entry);
        const QString path = dataFile(text);
        const GenomeWide g = loadGenomeWide(path);
        QCOMPARE(g.fault, Fault::None);
        const ChromosomeTable &t = g.table;
        const int first = t.startIndex[entry], count = t.endIndex[entry] - first + 1;
        const ChromosomeRun run = loadRun(path, t.startOffset[entry], t.tags[entry], count);
        QCOMPARE(run.fault, Fault::None);
        QTEST(run.positions, "positions");
        // The same rows that the genome-wide plot drew for this entry.
        QCOMPARE(run.scores, g.scores.mid(first, count));
        for (int i = 0; i < count; ++i)
            QCOMPARE(g.x[first + i] - g.x[first], run.positions[i] / 100 - run.positions[0] / 100);
    }

    void runOfOneRow()
    {
        const QString path = dataFile("1\t100\t0.5\n1\t200\t0.5\n2\t300\t0.5\n2\t400\tNA\n3\t400\t0.5\n3\t500\t.5\n");
        const GenomeWide g = loadGenomeWide(path);
        QCOMPARE(g.fault, Fault::None);
        QCOMPARE(g.table.tags, (QStringList{"1", "2", "3"}));
        const ChromosomeRun run = loadRun(path, g.table.startOffset[1], "2", 1);
        QCOMPARE(run.fault, Fault::TooFewRowsChromosome);
        QCOMPARE(faultMessage(run.fault), QString("Illegal data range in getManhattan!"));
    }

    // Reading ends with the run: whatever follows is never converted.
    void readingStopsAtRunEnd_data()
    {
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("own label, bad position") << QByteArray("1\t150.0\t0.5\n");
        QTest::newRow("own label, bad p-value") << QByteArray("1\t300\tabc\n");
        QTest::newRow("other label, bad p-value") << QByteArray("2\t300\tabc\n");
        QTest::newRow("other label, bad position") << QByteArray("2\tx\t0.5\n");
    }

    void readingStopsAtRunEnd()
    {
        QFETCH(QByteArray, after);
        const QByteArray before = "9\t1\t0.5\n";
        const QString path = dataFile(before + "1\t100\t0.5\n1\t200\t0.5\n" + after);
        const ChromosomeRun r = loadRun(path, before.size(), "1", 2);
        QCOMPARE(r.fault, Fault::None);
        QCOMPARE(r.positions, (QList<int>{100, 200}));
    }

    // Through the window: the globals that the loads fill.
    void windowLoadsRepeatedLabel()
    {
        inTemporaryWorkingDirectory([this](const QString &) {
            const QString path = dataFile("CHR POS P\n1 100 0.01\n1 250 0.1\n2 300 0.5\n2 400 NA\n2 500 0.5\n"
                                          "1 5000 0.2\n1 6000 1e-5\n");
            answerFileDialog(path);
            MyWidget w;
            QCOMPARE(Tag, (QStringList{"1", "2", "1"}));
            QCOMPARE(Pos_list, (QList<int>{1, 2, 3, 5, 6, 16}));
            QCOMPARE(Value_list, minusLog10({0.01, 0.1, 0.5, 0.5, 0.2, 1e-5}));
            QCOMPARE(Start_index, (QList<int>{0, 2, 4}));
            QCOMPARE(End_index, (QList<int>{1, 3, 5}));
            QCOMPARE(Start_value, (QList<int>{1, 3, 6}));
            QCOMPARE(End_value, (QList<int>{2, 5, 16}));
            QCOMPARE(Color_value, (QList<int>{255, 50, 255}));
            QCOMPARE(Pos_list2, Pos_list);
            QCOMPARE(Value_list2, Value_list);
            QCOMPARE(globaldisplay, 1);

            selected_chromosome = 2;
            QVERIFY(w.getManhattan());
            QCOMPARE(Pos_list, (QList<int>{5000, 6000}));
            QCOMPARE(Value_list, minusLog10({0.2, 1e-5}));
            QCOMPARE(Pos_list2, Pos_list);
            QCOMPARE(Value_list2, Value_list);
            QVERIFY(logText().endsWith("selected chromosome by getManhattan 1\n"));
        });
    }

    // Picking a run of one point logs it and leaves everything as it was.
    void windowOnePointRunKeepsState()
    {
        inTemporaryWorkingDirectory([this](const QString &) {
            const QString path = dataFile("1\t100\t0.5\n1\t200\t0.5\nX\t300\t0.01\nX\t400\t0\n3\t400\t0.5\n3\t500\t.5\n");
            answerFileDialog(path);
            MyWidget w;
            QCOMPARE(Tag, (QStringList{"1", "X", "3"}));
            const QList<int> positions = Pos_list;
            const QList<double> values = Value_list;
            selected_chromosome = 1;
            QVERIFY(!w.getManhattan());
            QVERIFY(logText().endsWith("selected chromosome by getManhattan X\nIllegal data range in getManhattan!\n"));
            QCOMPARE(Pos_list, positions);
            QCOMPARE(Value_list, values);
            QCOMPARE(Pos_list2, positions);
            QCOMPARE(Value_list2, values);
        });
    }
};

QTEST_MAIN(LoadsTest)
#include "test_loads.moc"
