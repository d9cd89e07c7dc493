// The two loads: genome-wide x coordinates and the chromosome table built
// from a whole file, and one run read back with its base-pair positions.
#include "data/loads.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <climits>

class LoadsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString dataFile(const QByteArray &text) { return writeFile(dir.filePath("data.txt"), text); }

private slots:
    void genomeWideX_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QList<int>>("x");
        QTest::addColumn<QStringList>("tags");
        QTest::addColumn<QList<int>>("startIndex");
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
        // An empty label is a label: the first run opens whatever its label.
        QTest::newRow("empty first label") << QByteArray("CHR\tPOS\tP\n\t100\t.5\n\t300\t.5\n2\t100\t.5\n")
                                           << QList<int>{1, 3, 4} << QStringList{"", "2"} << QList<int>{0, 2};
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

    // Runs of two rows, labels 1 and 2 in turn, from `from` to `to` but the
    // last, which ends at `last`. Each upward run adds 42949673 to x: 49 full
    // runs and one ending at 2147483300 reach exactly INT_MAX.
    void genomeWideXStaysInRange()
    {
        const auto load = [this](int runs, int from, int to, int last) {
            QByteArray text;
            for (int r = 0; r < runs; ++r) {
                const QByteArray label = r % 2 ? "2\t" : "1\t";
                text += label + QByteArray::number(from) + "\t0.5\n";
                text += label + QByteArray::number(r == runs - 1 ? last : to) + "\t0.5\n";
            }
            return loadGenomeWide(dataFile(text));
        };
        const int far = 2147483600;
        QCOMPARE(load(50, -far, far, 2147483300).x.last(), INT_MAX);
        QCOMPARE(load(50, -far, far, 2147483400).fault, Fault::GenomeWideOverflow); // one x past INT_MAX
        QCOMPARE(load(60, far, -far, -far).fault, Fault::GenomeWideOverflow);     // below INT_MIN
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
        QTest::newRow("other label's NA and zero, and an empty line, inside")
            << QByteArray("1\t100\t0.5\n1\t200\t0.5\n\n2\t300\tNA\n1\t400\t0.5\n2\t500\t0\n1\t600\t0.5\n3\t1\t.5\n")
            << 0 << QList<int>{100, 200, 400, 600};
        QTest::newRow("unsorted and negative, as read")
            << QByteArray("1\t1\t.5\n1\t2\t.5\n2\t900\t.5\n2\t-150\t.5\n2\t250\t.5\n") << 1
            << QList<int>{900, -150, 250};
        QTest::newRow("header, other column order, CR LF")
            << QByteArray("P,CHR,POS\r\n0.5,1,100\r\n0.5,1,200\r\n0.5,2,300\r\n0.01,2,400\r\n") << 1
            << QList<int>{300, 400};
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
};

QTEST_APPLESS_MAIN(LoadsTest)
#include "test_loads.moc"
