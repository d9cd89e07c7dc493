// The line reader against the text stream (fuzz/linecheck.h) on the
// fuzzer's seeds (chosen files) and on generated ones, as written, gzipped and bgzipped (big ones decompressed
// on threads); damage in big files is told; a bgzip pick reads only its run.
// (Damage in small files: the read cases.)
#include "data/linereader.h"
#include "data/loads.h"
#include "fuzz/linecheck.h"
#include "support/testsupport.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

static constexpr int kBlock = 1 << 20; // the reader's block size

// More than 1 MiB of random letters, line ends among them: compressed, still past 1 MiB.
static QByteArray bigRandomText()
{
    QRandomGenerator letters(99);
    QByteArray big(2 * kBlock, 'x');
    for (char &c : big)
        c = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\t\r\n"[letters.bounded(65)];
    return big;
}

class LineReaderTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void sameLinesAsTextStream_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray acrossBlocks; // line ends, CR LF pairs and UTF-8 split by block edges
        for (int i = 0; acrossBlocks.size() < 3 * kBlock; ++i)
            acrossBlocks += "chr" + QByteArray::number(i) + "\t\xc3\xa9\t0.5\r\n";
        // Line ends, CRs inside UTF-8 sequences, unfinished sequences, byte-order marks, UTF-16/32.
        const QDir seeds(TIVREL_LINE_SEEDS);
        for (const QString &name : seeds.entryList(QDir::Files))
            QTest::newRow(qPrintable(name)) << readFile(seeds.filePath(name));
        const QByteArray longLine(3 * kBlock + 17, 'x');
        QTest::newRow("lines longer than a block") << "a\n" + longLine + "\n" + longLine;
        QTest::newRow("lines across blocks") << acrossBlocks;
        QTest::newRow("big, random letters") << bigRandomText();

        // Random files, half small, half around the block edge; lines short or long.
        QRandomGenerator random(7411);
        const char alphabet[] = "a\t\r\n\xc3\xa9\xff 0";
        for (int round = 0; round < 40; ++round) {
            const int size = round % 2 ? kBlock + random.bounded(-300, 300) : random.bounded(200);
            const int lineEvery = 1 + random.bounded(round % 4 ? 40 : 5000);
            QByteArray bytes(size, 'a');
            for (char &c : bytes)
                c = random.bounded(lineEvery) == 0 ? '\n' : alphabet[random.bounded(int(sizeof alphabet) - 1)];
            // Qt's decoder loses the byte after a sequence left unfinished at the end of one of the
            // stream's 16 KiB reads; the reader need not copy that, so no lead byte ends such a read.
            for (int edge = 16384 - 1; edge < size; edge += 16384)
                bytes[edge] = bytes[edge] == '\xc3' ? 'a' : bytes[edge];
            QTest::newRow(qPrintable(QString("random %1").arg(round))) << bytes;
        }
    }

    void sameLinesAsTextStream()
    {
        QFETCH(QByteArray, bytes);
        const QStringList lines = textStreamLines(writeFile(dir_.filePath("data.txt"), bytes));
        QCOMPARE(brokenLineRule(dir_.filePath("data.txt"), lines, bytes.isEmpty()), QString());
        // A quarter of the random files, each in one form, keeps the test short.
        const QByteArray tag = QTest::currentDataTag();
        const int round = tag.startsWith("random") ? tag.mid(7).toInt() : -1;
        for (int form = 0; form < 4; ++form) {
            if (round >= 0 && round % 16 != 4 * form)
                continue;
            const QByteArray packed = form == 0 ? gzipped(bytes)
                : form == 3                     ? zstdCompressed(bytes)
                                                : bgzipped(bytes, form == 1 ? 0 : bytes.size() < 65536 ? 7 : 4099);
            QVERIFY(!tag.startsWith("big") || packed.size() > 1 << 20);
            QCOMPARE(brokenLineRule(writeFile(dir_.filePath("data.gz"), packed), lines, bytes.isEmpty()), QString());
        }
    }

    // Big files, read from the start and, as a pick reads them, decompressed
    // ahead on threads: cut short or with a byte changed, the reader says so.
    void bigDamagedFile()
    {
        const QByteArray text = bigRandomText();
        for (const QByteArray &packed : {gzipped(text), bgzipped(text), zstdCompressed(text)}) {
            QByteArray changed = packed, sizeChanged = packed;
            changed[packed.size() / 6] = char(changed[packed.size() / 6] ^ 1);
            // A bgzip block's size changed: htslib's threads may take the block for the end.
            const qsizetype second = (uchar(packed[16]) | uchar(packed[17]) << 8) + 1;
            sizeChanged[second + 17] = char(sizeChanged[second + 17] ^ 0x40);
            for (const QByteArray &damaged : {changed, packed.first(packed.size() / 6), sizeChanged}) {
                for (const bool ahead : {false, true}) {
                    LineReader reader;
                    QByteArrayView line;
                    qint64 at = 0;
                    if (reader.open(writeFile(dir_.filePath("big.gz"), damaged))) {
                        if (ahead)
                            reader.decompressAhead();
                        if (!ahead || reader.seek(0))
                            while (reader.readLine(line, at)) {
                            }
                    }
                    QVERIFY(reader.damaged());
                }
            }
        }
    }

    // A gzip file's checksum comes only at its end: a row made wrong by the
    // damage, long before, is blamed on the damage. Stored (uncompressed)
    // deflate blocks let a changed byte through to the text.
    void rowWrongFromDamageFarBeforeTheEnd()
    {
        QByteArray text = "CHR\tPOS\tP\n";
        for (int i = 0; text.size() < 24 * kBlock; ++i)
            text += "1\t" + QByteArray::number(i) + "\t0.5\n";
        text[text.indexOf("0.5")] = 'x';
        QByteArray packed("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
        for (qsizetype at = 0; at < text.size(); at += 0xffff) {
            const quint16 n = quint16(std::min<qsizetype>(0xffff, text.size() - at));
            packed += char(at + n == text.size());
            for (const quint16 v : {n, quint16(~n)})
                packed += char(v & 0xff), packed += char(v >> 8);
            packed += text.sliced(at, n);
        }
        const quint32 wrongCrc = 0, size = quint32(text.size());
        for (const quint32 v : {wrongCrc, size})
            for (int b = 0; b < 4; ++b)
                packed += char(v >> (8 * b));
        QCOMPARE(loadGenomeWide(writeFile(dir_.filePath("stored.gz"), packed)).fault, Fault::DamagedCompressed);
    }

    // A pick in a bgzip file seeks to its run: blocks after it are never
    // decompressed, so damage there goes unseen, while the genome-wide load and a pick of the
    // damaged run report it.
    void bgzipPickReadsOnlyItsRun()
    {
        // One block each: header, run 0, run 1, run 2, then the end-of-file block.
        QByteArray packed;
        QList<qsizetype> blockStart;
        for (const char *part : {"CHR\tPOS\tP\n", "1\t100\t0.5\n1\t200\t0.01\n", "2\t300\t0.5\n2\t400\t1e-8\n",
                                 "3\t500\t0.2\n3\t600\t0.3\n", ""}) {
            blockStart << packed.size();
            packed += *part ? bgzipped(part).chopped(28) : bgzipped(part); // the end-of-file block last only
        }
        const QString path = writeFile(dir_.filePath("data.txt"), packed);
        const GenomeWide g = loadGenomeWide(path);
        QCOMPARE(g.table.startOffset[1], qint64(blockStart[2]) << 16); // a virtual offset
        // Run 2's CRC32 no longer matches. (A pick reads the header and the
        // first data row again, to settle the layout as the first load did.)
        packed[blockStart[4] - 8] = char(packed[blockStart[4] - 8] ^ 0x5a);
        writeFile(path, packed);
        QCOMPARE(loadRun(path, g.table.startOffset[1], "2", 2).positions, (QList<int>{300, 400}));
        QCOMPARE(loadRun(path, g.table.startOffset[2], "3", 2).fault, Fault::DamagedCompressed);
        QCOMPARE(loadGenomeWide(path).fault, Fault::DamagedCompressed);
    }
};

QTEST_APPLESS_MAIN(LineReaderTest)
#include "test_linereader.moc"
