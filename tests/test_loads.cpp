// The two loads: genome-wide x coordinates and the chromosome table built
// from a whole file, and one run read back with its base-pair positions;
// gzip and bgzip files read alike, damaged ones refused; a file changed
// since the genome-wide load read from its start.
#include "data/loads.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <QDateTime>
#include <QFile>

#include <climits>

Q_DECLARE_METATYPE(Fault)

// Rows of three chromosomes whose gzip and bgzip forms pass 1 MiB, the size
// from which they are decompressed on threads.
static QByteArray bigText()
{
    QByteArray text = "CHR\tPOS\tP\n";
    QRandomGenerator random(2024);
    for (int i = 0; i < 150000; ++i)
        text += QByteArray::number(1 + i / 50000) + "\t" + QByteArray::number(i * 100) + "\t0." +
                QByteArray::number(random.bounded(1, 1000000000)) + "\n";
    return text;
}

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
    // The same in gzip and bgzip files named .txt: bgzip blocks of 5 bytes,
    // and files of two gzip members or two bgzip files one after the other
    // (the first one's end-of-file block inside), split inside a line.
    void runOfEntry()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, entry);
        const GenomeWide plain = loadGenomeWide(dataFile(text));
        const qsizetype half = text.size() / 2;
        for (const QByteArray &bytes : {text, gzipped(text), bgzipped(text, 5),
                                        gzipped(text.first(half)) + gzipped(text.sliced(half)),
                                        bgzipped(text.first(half)) + bgzipped(text.sliced(half))}) {
            const QString path = dataFile(bytes);
            const GenomeWide g = loadGenomeWide(path);
            QCOMPARE(g.fault, Fault::None);
            QCOMPARE(g.x, plain.x);
            QCOMPARE(g.scores, plain.scores);
            QCOMPARE(g.table.tags, plain.table.tags);
            const ChromosomeTable &t = g.table;
            const int first = t.startIndex[entry], count = t.endIndex[entry] - first + 1;
            const ChromosomeRun run = loadRun(path, t.startOffset[entry], t.tags[entry], count);
            QCOMPARE(run.fault, Fault::None);
            QTEST(run.positions, "positions");
            QCOMPARE(run.scores, g.scores.mid(first, count));
        }
    }

    // Big files, decompressed on threads, read and pick alike.
    void bigCompressedFile()
    {
        const QByteArray text = bigText();
        const GenomeWide plain = loadGenomeWide(dataFile(text));
        for (const QByteArray &packed : {gzipped(text), bgzipped(text)}) {
            QVERIFY(packed.size() > 1 << 20);
            const QString path = dataFile(packed);
            const GenomeWide g = loadGenomeWide(path);
            QCOMPARE(g.fault, Fault::None);
            QCOMPARE(g.x, plain.x);
            QCOMPARE(g.scores, plain.scores);
            const ChromosomeTable &t = g.table;
            QCOMPARE(t.tags, (QStringList{"1", "2", "3"}));
            for (int k = 2; k >= 0; --k) {
                const int first = t.startIndex[k], count = t.endIndex[k] - first + 1;
                const ChromosomeRun run = loadRun(path, t.startOffset[k], t.tags[k], count);
                QCOMPARE(run.fault, Fault::None);
                QCOMPARE(run.scores, g.scores.mid(first, count));
            }
        }
    }

    // A pick in a bgzip file seeks to its run: blocks before and after it
    // are never decompressed, so damage there goes unseen, while the
    // genome-wide load and a pick of the damaged run report it.
    void bgzipPickReadsOnlyItsRun()
    {
        const QByteArray header = "CHR\tPOS\tP\n";
        const QList<QByteArray> runs = {"1\t100\t0.5\n1\t200\t0.01\n", "2\t300\t0.5\n2\t400\t1e-8\n",
                                        "3\t500\t0.2\n3\t600\t0.3\n"};
        // One block each: header, run 0, run 1, run 2, then the end-of-file block.
        QByteArray packed;
        QList<qsizetype> blockStart;
        for (const QByteArray &part : QList<QByteArray>{header} + runs) {
            blockStart << packed.size();
            packed += bgzipped(part).chopped(28); // without its end-of-file block
        }
        blockStart << packed.size();
        packed += bgzipped({});
        const QString path = dataFile(packed);
        const GenomeWide g = loadGenomeWide(path);
        QCOMPARE(g.fault, Fault::None);
        QCOMPARE(g.table.startOffset[1], qint64(blockStart[2]) << 16); // a virtual offset

        // Damage the compressed data of run 2 (its CRC32 no longer matches).
        for (const int block : {3}) {
            const qsizetype crc = blockStart[block + 1] - 8;
            packed[crc] = char(packed[crc] ^ 0x5a);
        }
        dataFile(packed);
        const ChromosomeRun run = loadRun(path, g.table.startOffset[1], "2", 2);
        QCOMPARE(run.fault, Fault::None);
        QCOMPARE(run.positions, (QList<int>{300, 400}));
        QCOMPARE(loadRun(path, g.table.startOffset[2], "3", 2).fault, Fault::DamagedCompressed);
        QCOMPARE(loadGenomeWide(path).fault, Fault::DamagedCompressed);
    }

    // Damaged or cut short anywhere: both loads say so, whatever the part
    // before the damage held (a good header, good rows).
    void damagedCompressedFile_data()
    {
        QTest::addColumn<QByteArray>("packed");
        QTest::addColumn<qint64>("offset"); // of the run read back
        QByteArray text = "CHR\tPOS\tP\n";
        for (int i = 0; i < 3000; ++i)
            text += "1\t" + QByteArray::number(i * 100) + "\t0.5\n";
        const QByteArray gzip = gzipped(text), bgzip = bgzipped(text, 4000);
        QTest::newRow("gzip cut in its data") << gzip.first(gzip.size() / 2) << qint64(11);
        QTest::newRow("gzip without its last byte") << gzip.chopped(1) << qint64(11);
        QByteArray changed = gzip;
        changed[gzip.size() / 2] = char(changed[gzip.size() / 2] ^ 1);
        QTest::newRow("gzip with a byte changed") << changed << qint64(11);
        QTest::newRow("bgzip cut in a block") << bgzip.first(bgzip.size() / 2) << qint64(11);
        QTest::newRow("bgzip without its end-of-file block") << bgzip.chopped(28) << qint64(11);
        // Without a header the reader goes back to the first line, and a pick
        // seeks, after htslib's threads stopped at a block they could not read.
        QByteArray rows = text.sliced(text.indexOf('\n') + 1), sizeChanged = bgzipped(rows, 4000);
        const qsizetype second = (uchar(sizeChanged[16]) | uchar(sizeChanged[17]) << 8) + 1;
        sizeChanged[second + 17] = char(sizeChanged[second + 17] ^ 0x40); // its block size
        QTest::newRow("bgzip with a block size changed, no header") << sizeChanged << qint64(0);
        const QByteArray big = bigText(), bigGzip = gzipped(big), bigBgzip = bgzipped(big);
        for (const auto &[name, packed] : {std::pair("big gzip", bigGzip), std::pair("big bgzip", bigBgzip)}) {
            // Inside the first chromosome, whose run is read back from its first row.
            QByteArray changed = packed;
            changed[packed.size() / 6] = char(changed[packed.size() / 6] ^ 1);
            QTest::newRow(qPrintable(QString(name) + " with a byte changed")) << changed << qint64(10);
            QTest::newRow(qPrintable(QString(name) + " cut short")) << packed.first(packed.size() / 6) << qint64(10);
        }
        QTest::newRow("only the magic bytes") << QByteArray("\x1f\x8b") << qint64(0);
        QTest::newRow("magic bytes before text") << QByteArray("\x1f\x8b" "CHR\tPOS\tP\n1\t1\t0.5\n") << qint64(0);
    }
    void damagedCompressedFile()
    {
        QFETCH(QByteArray, packed);
        QFETCH(qint64, offset);
        const QString path = dataFile(packed);
        QCOMPARE(loadGenomeWide(path).fault, Fault::DamagedCompressed);
        QCOMPARE(loadRun(path, offset, "1", 50000).fault, Fault::DamagedCompressed);
        QCOMPARE(loadFirstBlock(path, "1").fault, Fault::DamagedCompressed);
    }

    // A file changed since the genome-wide load: the label's first block,
    // read from the start of the file.
    void firstBlockFromTheStart_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<Fault>("fault");
        const QByteArray twice = "1\t100\t0.5\n1\t200\t0.5\n2\t300\t0.5\n1\t400\t0.5\n1\t500\t0.5\n";
        QTest::newRow("label in two blocks: the first") << twice << "1" << QList<int>{100, 200} << Fault::None;
        QTest::newRow("another label's NA line ends the block")
            << QByteArray("1\t100\t0.5\n1\t200\t0.5\n2\t250\tNA\n1\t300\t0.5\n") << "1" << QList<int>{100, 200}
            << Fault::None;
        QTest::newRow("NA, zero and empty lines inside the block")
            << QByteArray("2\t1\t.5\n2\t2\t.5\n1\t100\t0.5\n\n1\t150\tNA\n1\t170\t0\n1\t200\t0.5\n") << "1"
            << QList<int>{100, 200} << Fault::None;
        QTest::newRow("bad values before the block are not read")
            << QByteArray("CHR\tPOS\tP\n2\tx\t0.5\n2\t1\tp\n1\t100\t0.5\n1\t200\t0.5\n") << "1"
            << QList<int>{100, 200} << Fault::None;
        QTest::newRow("bad value in the block")
            << QByteArray("1\t100\t0.5\n1\t200\tp\n") << "1" << QList<int>{} << Fault::NonNumericPValue;
        QTest::newRow("label gone") << twice << "3" << QList<int>{} << Fault::TooFewRowsChromosome;
        QTest::newRow("one row left") << twice << "2" << QList<int>{} << Fault::TooFewRowsChromosome;
    }
    void firstBlockFromTheStart()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, label);
        const ChromosomeRun run = loadFirstBlock(dataFile(text), label);
        QTEST(run.fault, "fault");
        if (run.fault == Fault::None)
            QTEST(run.positions, "positions");
    }

    // The remembered offset is used while the file's size and modification
    // time are those the genome-wide load saw; a change of either reads
    // from the start (here: a label in two blocks, the second picked).
    void changedFileReadFromTheStart()
    {
        const QByteArray text = "1\t100\t0.5\n1\t200\t0.5\n2\t300\t0.5\n2\t350\t0.5\n1\t400\t0.5\n1\t500\t0.5\n";
        const QString path = dataFile(text);
        const QDateTime then = QDateTime::currentDateTime().addSecs(-3600);
        const auto setTime = [&](const QDateTime &time) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime));
        };
        setTime(then);
        const GenomeWide g = loadGenomeWide(path);
        QCOMPARE(g.stamp, fileStamp(path));
        const auto pickSecondRunOfOne = [&]() {
            return loadChromosome(path, g.stamp, g.table.startOffset[2], "1", 2).positions;
        };
        QCOMPARE(pickSecondRunOfOne(), (QList<int>{400, 500}));
        setTime(then.addSecs(1)); // same bytes, newer time
        QCOMPARE(pickSecondRunOfOne(), (QList<int>{100, 200}));
        dataFile(text + "\n"); // another size, the time set back
        setTime(then);
        QCOMPARE(pickSecondRunOfOne(), (QList<int>{100, 200}));
    }
};

QTEST_APPLESS_MAIN(LoadsTest)
#include "test_loads.moc"
