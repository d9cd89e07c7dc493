// The two loads: genome-wide x coordinates and the chromosome table built
// from a whole file, and one run read back with its base-pair positions.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/loads.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <climits>

namespace {

// n runs of two rows each, labels alternating 1/2, every run spanning
// (nearly) the whole 32-bit position range in the given direction; the last
// row of the file has position `lastPosition`.
QByteArray spanningRuns(int runs, int from, int to, int lastPosition)
{
    QByteArray text;
    for (int r = 0; r < runs; ++r) {
        const QByteArray label = r % 2 ? "2\t" : "1\t";
        text += label + QByteArray::number(from) + "\t0.5\n";
        text += label + QByteArray::number(r == runs - 1 ? lastPosition : to) + "\t0.5\n";
    }
    return text;
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
        QTest::newRow("two runs end to end")
            << QByteArray("1\t100\t.5\n1\t250\t.5\n1\t1000\t.5\n2\t5000\t.5\n2\t5150\t.5\n")
            << QList<int>{1, 2, 10, 11, 12} << QStringList{"1", "2"} << QList<int>{0, 3};
        QTest::newRow("label that returns") << QByteArray("1\t0\t.5\n1\t300\t.5\n2\t100\t.5\n1\t700\t.5\n1\t900\t.5\n")
                                            << QList<int>{1, 4, 5, 6, 8} << QStringList{"1", "2", "1"}
                                            << QList<int>{0, 2, 3};
        // -150 / 100 is -1 and -99 / 100 is 0 (toward zero, not down).
        QTest::newRow("negative positions")
            << QByteArray("1\t-150\t.5\n1\t-99\t.5\n1\t99\t.5\n1\t250\t.5\n2\t-250\t.5\n2\t-199\t.5\n")
            << QList<int>{1, 2, 2, 4, 5, 6} << QStringList{"1", "2"} << QList<int>{0, 4};
        // Table x values are those of the first and last rows, not min/max;
        // a later run starts one after the row before, even below zero.
        QTest::newRow("unsorted rows")
            << QByteArray("1\t1000\t.5\n1\t500\t.5\n1\t1200\t.5\n1\t300\t.5\n2\t900\t.5\n2\t100\t.5\n")
            << QList<int>{1, -4, 3, -6, -5, -13} << QStringList{"1", "2"} << QList<int>{0, 4};
        // Skipped rows, of this label or another, do not split a run.
        QTest::newRow("skipped rows inside a run")
            << QByteArray("1\t100\t.5\n1\t200\tNA\n2\t300\tNA\n\n2\t400\t0\n1\t500\t.5\n3\tx\t0.0\n1\t700\t.5\n"
                          "2\t800\t.5\n2\t900\t.5\n")
            << QList<int>{1, 5, 7, 8, 9} << QStringList{"1", "2"} << QList<int>{0, 3};
    }
    void genomeWideX()
    {
        QFETCH(QByteArray, text);
        const GenomeWide g = loadGenomeWide(dataFile(text));
        QCOMPARE(g.fault, Fault::None);
        QTEST(g.x, "x");
        QTEST(g.table.tags, "tags");
        QTEST(g.table.startIndex, "startIndex");
        // Each entry spans its rows' x, runs follow one another, and the
        // colours alternate from red.
        const ChromosomeTable &t = g.table;
        QCOMPARE(g.scores.size(), g.x.size());
        QCOMPARE(t.endIndex.last(), int(g.x.size()) - 1);
        for (int k = 0; k < t.tags.size(); ++k) {
            QCOMPARE(t.startValue[k], g.x[t.startIndex[k]]);
            QCOMPARE(t.endValue[k], g.x[t.endIndex[k]]);
            QCOMPARE(t.colorValue[k], k % 2 ? 50 : 255);
            if (k > 0) {
                QCOMPARE(t.startIndex[k], t.endIndex[k - 1] + 1);
                QCOMPARE(t.startValue[k], t.endValue[k - 1] + 1);
            }
        }
    }

    // Each run remembers where its first kept row starts in the file.
    void startOffsetsPointAtFirstKeptRows()
    {
        const QByteArray text = "CHR\tPOS\tP\r\n1\t100\t0.5\r\n1\t200\t0.5\r\n2\t300\tNA\r\n\r\n2\t400\t0.5\r\n"
                                "2\t500\t0.5\r\n1\t600\t0.5\r\n1\t700\t0.5";
        const GenomeWide g = loadGenomeWide(dataFile(text));
        const QList<QByteArray> firstRows{"1\t100\t", "2\t400\t", "1\t600\t"};
        QCOMPARE(g.table.startOffset.size(), firstRows.size());
        for (int k = 0; k < firstRows.size(); ++k)
            QVERIFY2(text.mid(g.table.startOffset[k]).startsWith(firstRows[k]), qPrintable(QString::number(k)));
    }

    void genomeWideFaults_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Fault>("fault");
        const Fault tooFew = Fault::TooFewRowsGenomeWide, overflow = Fault::GenomeWideOverflow;
        QTest::newRow("empty file") << QByteArray() << tooFew;
        QTest::newRow("header only") << QByteArray("CHR\tPOS\tP\n") << tooFew;
        QTest::newRow("one kept among NA and zero") << QByteArray("CHR\tPOS\tP\n1\t1\tNA\n2\t2\t0.5\n3\t3\t0\n\n")
                                                    << tooFew;
        // Each upward run adds 42949673 to x: after 49 full runs a last run
        // ending at 2147483300 reaches exactly INT_MAX; 100 bp more is past it.
        QTest::newRow("reaches INT_MAX") << spanningRuns(50, -2147483600, 2147483600, 2147483300) << Fault::None;
        QTest::newRow("one past INT_MAX") << spanningRuns(50, -2147483600, 2147483600, 2147483400) << overflow;
        QTest::newRow("below INT_MIN") << spanningRuns(60, 2147483600, -2147483600, -2147483600) << overflow;
    }
    void genomeWideFaults()
    {
        QFETCH(QByteArray, text);
        const GenomeWide g = loadGenomeWide(dataFile(text));
        QTEST(g.fault, "fault");
        if (g.fault == Fault::None)
            QCOMPARE(g.x.last(), INT_MAX);
    }

    // The chromosome view of a table entry reads back exactly that entry's
    // run: the rows the genome-wide plot drew for it, positions as read.
    void runOfEntry_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QList<int>>("positions");
        QTest::newRow("second run of a repeated label")
            << QByteArray("1\t100\t0.5\n1\t250\t0.1\n2\t300\t0.5\n2\t400\t0.5\n1\t5000\t0.2\n1\t6000\t0.3\n")
            << 2 << QList<int>{5000, 6000};
        QTest::newRow("other label's NA and zero inside")
            << QByteArray("1\t100\t0.5\n1\t200\t0.5\n2\t300\tNA\n1\t400\t0.5\n2\t500\t0\n1\t600\t0.5\n3\t1\t.5\n")
            << 0 << QList<int>{100, 200, 400, 600};
        QTest::newRow("own NA, zero and empty lines inside")
            << QByteArray("1\t100\t0.5\n1\t150\tNA\n\n1\t200\t0\n1\t300\t0.5\n") << 0 << QList<int>{100, 300};
        QTest::newRow("unsorted and negative, as read")
            << QByteArray("1\t1\t.5\n1\t2\t.5\n2\t900\t.5\n2\t-150\t.5\n2\t250\t.5\n") << 1
            << QList<int>{900, -150, 250};
        QTest::newRow("header, other column order")
            << QByteArray("P,CHR,POS\n0.5,1,100\n0.5,1,200\n0.5,2,300\n0.01,2,400\n") << 1 << QList<int>{300, 400};
    }
    void runOfEntry()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, entry);
        const QString path = dataFile(text);
        const GenomeWide g = loadGenomeWide(path);
        const ChromosomeTable &t = g.table;
        const int first = t.startIndex[entry], count = t.endIndex[entry] - first + 1;
        const ChromosomeRun run = loadRun(path, t.startOffset[entry], t.tags[entry], count);
        QCOMPARE(run.fault, Fault::None);
        QTEST(run.positions, "positions");
        QCOMPARE(run.scores, g.scores.mid(first, count));
    }

    // Picking a run of one point logs it and leaves everything as it was.
    void windowOnePointRunKeepsState()
    {
        QDir::setCurrent(dir.path()); // where the window writes its log
        answerFileDialog(dataFile("1\t100\t0.5\n1\t200\t0.5\nX\t300\t0.01\nX\t400\t0\n3\t400\t0.5\n3\t500\t.5\n"));
        MyWidget w;
        const QList<int> positions = Pos_list;
        const QList<double> values = Value_list;
        selected_chromosome = 1; // "X"
        QVERIFY(!w.getManhattan());
        QVERIFY(logText().endsWith("selected chromosome by getManhattan X\nIllegal data range in getManhattan!\n"));
        QCOMPARE(Pos_list, positions);
        QCOMPARE(Value_list, values);
        QCOMPARE(Pos_list2, positions);
    }
};

QTEST_MAIN(LoadsTest)
#include "test_loads.moc"
