// LineReader must give the lines a text-mode QTextStream in the system
// encoding gives, on any bytes, and re-read them after seek(); the same bytes
// gzipped or bgzipped give the same lines, big ones decompressed on threads
// too, and damage there is told. (Damage in small files: the read cases.)
#include "data/linereader.h"
#include "data/loads.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

static constexpr int kBlock = 1 << 20; // the reader's block size

// The lines as text, and where each starts. Unlike QString::fromUtf8, the decoder keeps a
// byte-order mark at the start of a line, as the stream does in mid-file.
static QStringList readerLines(LineReader &reader, QList<qint64> &offsets)
{
    QStringList lines;
    QByteArrayView line;
    qint64 offset = 0;
    using Flag = QStringConverter::Flag;
    for (offsets.clear(); reader.readLine(line, offset); offsets << offset)
        lines << QStringDecoder(QStringConverter::Utf8, Flag::Stateless | Flag::ConvertInitialBom)(line);
    return lines;
}

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
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("line ends, lone CRs, NUL") << QByteArrayLiteral("a\tb\r\n\n\nc\rd\r\r\ne\0f\nlast");
        QTest::newRow("only CRs") << QByteArray("\r\r\r");
        QTest::newRow("invalid and truncated UTF-8, Latin-1")
            << QByteArray("?\xff\xfe\n\xc0\x80\t\xed\xa0\x80\n\xe2\x82\t1\n\xc3\t2\nb\xf0\x9f\x98\nchr\xe9\t1\n");
        QTest::newRow("CR inside a sequence") << QByteArray("\xc3\r\xa9\n\xf0\x9f\r\r\x98\x80\t\xe2\r\x82\r\n");
        QTest::newRow("CR inside a sequence at the end") << QByteArray("a\n\xe2\x82\r\xac");
        QTest::newRow("no lead byte at the end") << QByteArray("a\n\xf5\x80");
        QTest::newRow("only an unfinished sequence") << QByteArray("\xf0\x9f\x98");
        QTest::newRow("UTF-8 BOMs") << QByteArray("\xef\xbb\xbf\xef\xbb\xbf" "C\r\n\xef\xbb\xbf" "b\n");
        QTest::newRow("only a UTF-8 BOM") << QByteArray("\xef\xbb\xbf");
        QTest::newRow("only a UTF-16 BOM") << QByteArray("\xff\xfe");
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16 with 0x0D bytes") << QByteArray(utf16(u"C\tP\r\nchr\u00e9\t1\n\u010d\u0d05\r\n\u0a0d"));
        QTest::newRow("UTF-32 LE") << QByteArrayLiteral("\xff\xfe\0\0" "a\0\0\0\r\0\0\0\n\0\0\0" "b\0\0\0");
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

    // The lines as the stream reads them, isEmpty() and atEnd(); then a seek() to a line's start
    // (or to 0, before any byte-order mark) reads on from there. Compressed, in blocks of any
    // size: the same lines, their own offsets (virtual in bgzip) seek alike, backwards too.
    void sameLinesAsTextStream()
    {
        QFETCH(QByteArray, bytes);
        QFile file(writeFile(dir_.filePath("data.txt"), bytes));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream stream(&file);
        stream.setEncoding(QStringConverter::System);
        QStringList expected;
        while (!stream.atEnd())
            expected << stream.readLine();
        // Whether a file ends in one more empty line (after its last LF, a run of CRs; or a file that
        // holds nothing but a byte-order mark) depends, for the stream, on where its 16 KiB reads end.
        // Every load skips empty lines, so such a line is left out of the comparison.
        const auto trimmed = [](const QStringList &l) { return l.endsWith(QString()) ? l.first(l.size() - 1) : l; };

        // A quarter of the random files, each in one form, keeps the test short.
        const QByteArray tag = QTest::currentDataTag();
        const int round = tag.startsWith("random") ? tag.mid(7).toInt() : -1;
        QList<QByteArray> forms{bytes};
        if (round < 0 || round % 12 == 0)
            forms << gzipped(bytes);
        if (round < 0 || round % 12 == 4)
            forms << bgzipped(bytes);
        if (round < 0 || round % 12 == 8)
            forms << bgzipped(bytes, bytes.size() < 65536 ? 7 : 4099);
        QStringList lines;
        for (const QByteArray &form : forms) {
            const QString formPath = writeFile(dir_.filePath(form == bytes ? "data.txt" : "data.gz"), form);
            LineReader reader;
            QVERIFY(reader.open(formPath));
            QCOMPARE(reader.isEmpty(), bytes.isEmpty());
            QList<qint64> offsets, rest;
            if (lines.isEmpty())
                lines = readerLines(reader, offsets);
            else
                QCOMPARE(readerLines(reader, offsets), lines);
            QCOMPARE(trimmed(lines), trimmed(expected));
            QVERIFY(reader.atEnd() && !reader.damaged());
            if (tag.startsWith("big"))
                QVERIFY(form.size() > 1 << 20);
            for (const qsizetype i : {lines.size() - 1, qsizetype(1), lines.size() / 2}) {
                if (i < 0 || i >= lines.size())
                    continue;
                QVERIFY(reader.seek(offsets[i]));
                QCOMPARE(readerLines(reader, rest), lines.mid(i));
                QCOMPARE(rest, offsets.mid(i));
            }
            QVERIFY(reader.seek(0));
            QCOMPARE(readerLines(reader, rest), lines);
            if (lines.size() > 2) { // a pick: a seek forward from the first line lands on its line
                LineReader picking;
                QByteArrayView first;
                qint64 at = 0;
                QVERIFY(picking.open(formPath) && picking.readLine(first, at) && picking.seek(offsets.last()));
                QCOMPARE(readerLines(picking, rest), lines.mid(lines.size() - 1));
            }
        }
    }

    // Big files, decompressed on threads: cut short or with a byte changed, the reader says so.
    void bigDamagedFile()
    {
        const QByteArray text = bigRandomText();
        for (const QByteArray &packed : {gzipped(text), bgzipped(text)}) {
            QByteArray changed = packed;
            changed[packed.size() / 6] = char(changed[packed.size() / 6] ^ 1);
            for (const QByteArray &damaged : {changed, packed.first(packed.size() / 6)}) {
                LineReader reader;
                QList<qint64> offsets;
                if (reader.open(writeFile(dir_.filePath("big.gz"), damaged)))
                    readerLines(reader, offsets);
                QVERIFY(reader.damaged());
            }
        }
    }

    // A pick in a bgzip file seeks to its run: blocks before and after it are never
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
        for (const int block : {1, 3}) // runs 0 and 2: their CRC32 no longer matches
            packed[blockStart[block + 1] - 8] = char(packed[blockStart[block + 1] - 8] ^ 0x5a);
        writeFile(path, packed);
        QCOMPARE(loadRun(path, g.table.startOffset[1], "2", 2).positions, (QList<int>{300, 400}));
        QCOMPARE(loadRun(path, g.table.startOffset[2], "3", 2).fault, Fault::DamagedCompressed);
        QCOMPARE(loadGenomeWide(path).fault, Fault::DamagedCompressed);
    }
};

QTEST_APPLESS_MAIN(LineReaderTest)
#include "test_linereader.moc"
