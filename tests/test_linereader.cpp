// LineReader must give the lines a text-mode QTextStream in the system
// encoding gives, on any bytes, and re-read them after seek(); the same
// bytes gzipped or bgzipped give the same lines, and damaged compressed data
// is told, never read as other lines.
#include "data/linereader.h"
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
        // Compressed, more than 1 MiB: decompressed on threads.
        QRandomGenerator letters(99);
        QByteArray big(2 * kBlock, 'x');
        for (char &c : big)
            c = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\t\r\n"[letters.bounded(65)];
        QTest::newRow("big, random letters") << big;

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
    // (or to 0, before any byte-order mark) reads on from there.
    void sameLinesAsTextStream()
    {
        QFETCH(QByteArray, bytes);
        const QString path = writeFile(dir_.filePath("data.txt"), bytes);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream stream(&file);
        stream.setEncoding(QStringConverter::System);
        QStringList expected;
        while (!stream.atEnd())
            expected << stream.readLine();

        LineReader reader;
        QVERIFY(reader.open(path));
        QCOMPARE(reader.isEmpty(), bytes.isEmpty());
        QList<qint64> offsets, restOffsets;
        const QStringList lines = readerLines(reader, offsets);
        // Whether a file ends in one more empty line (after its last LF, a run of CRs; or a file that
        // holds nothing but a byte-order mark) depends, for the stream, on where its 16 KiB reads end.
        // Every load skips empty lines, so such a line is left out of the comparison.
        const auto trimmed = [](const QStringList &l) { return l.endsWith(QString()) ? l.first(l.size() - 1) : l; };
        QCOMPARE(trimmed(lines), trimmed(expected));
        QVERIFY(reader.atEnd());
        for (const qsizetype i : {qsizetype(1), lines.size() / 2, lines.size() - 1}) {
            if (i < 0 || i >= lines.size())
                continue;
            QVERIFY(reader.seek(offsets[i]));
            QCOMPARE(readerLines(reader, restOffsets), lines.mid(i));
            QCOMPARE(restOffsets, offsets.mid(i));
        }
        QVERIFY(reader.seek(0));
        QCOMPARE(readerLines(reader, restOffsets), lines);

        // Compressed, blocks of any size: the same lines, their own offsets
        // (a bgzip file's are virtual) seek alike, backwards too, and a seek
        // forward from the first line (a pick) lands on its line.
        const int small = bytes.size() < 65536 ? 7 : 4099;
        QList<std::pair<const char *, QByteArray>> forms;
        // A quarter of the random files, each in one form, keeps the test short.
        const int round = QByteArray(QTest::currentDataTag()).mid(7).toInt();
        const bool random = QByteArray(QTest::currentDataTag()).startsWith("random");
        if (!random || round % 12 == 0)
            forms.append({"gzip", gzipped(bytes)});
        if (!random || round % 12 == 4)
            forms.append({"bgzip", bgzipped(bytes)});
        if (!random || round % 12 == 8)
            forms.append({"bgzip, small blocks", bgzipped(bytes, small)});
        for (const auto &[form, packed] : forms) {
            if (QByteArray(QTest::currentDataTag()).startsWith("big"))
                QVERIFY(packed.size() > 1 << 20);
            const QString packedPath = writeFile(dir_.filePath("data.gz"), packed);
            LineReader unpacking;
            QVERIFY2(unpacking.open(packedPath), form);
            QCOMPARE(unpacking.isEmpty(), bytes.isEmpty());
            QList<qint64> packedOffsets;
            QCOMPARE(readerLines(unpacking, packedOffsets), lines);
            QVERIFY2(unpacking.atEnd() && !unpacking.damaged(), form);
            for (const qsizetype i : {lines.size() - 1, lines.size() / 2, qsizetype(1)}) {
                if (i < 0 || i >= lines.size())
                    continue;
                QVERIFY(unpacking.seek(packedOffsets[i]));
                QCOMPARE(readerLines(unpacking, restOffsets), lines.mid(i));
                QCOMPARE(restOffsets, packedOffsets.mid(i));
            }
            QVERIFY(unpacking.seek(0));
            QCOMPARE(readerLines(unpacking, restOffsets), lines);
            if (lines.size() > 2) {
                LineReader picking;
                QByteArrayView first;
                qint64 at = 0;
                QVERIFY(picking.open(packedPath) && picking.readLine(first, at));
                QVERIFY(picking.seek(packedOffsets.last()));
                QCOMPARE(readerLines(picking, restOffsets), lines.mid(lines.size() - 1));
            }
        }
    }

    // Cut short anywhere, or with any one byte changed: the reader says the
    // data is damaged, or (a changed byte in a header field that nothing
    // checks) reads the very same lines. Never other lines without a word.
    void damagedCompressedData_data()
    {
        QTest::addColumn<QByteArray>("packed");
        QByteArray text = "CHR\tPOS\tP\r\n";
        for (int i = 0; i < 40; ++i)
            text += "chr" + QByteArray::number(i % 3) + "\t" + QByteArray::number(i * 977) + "\t0.0" +
                    QByteArray::number(i) + "\n";
        QTest::newRow("gzip") << gzipped(text);
        QTest::newRow("bgzip, small blocks") << bgzipped(text, 150);
    }
    void damagedCompressedData()
    {
        QFETCH(QByteArray, packed);
        // A file that does not open must say why: damaged.
        const auto read = [this](const QByteArray &bytes, bool &damaged) {
            LineReader reader;
            QList<qint64> offsets;
            const bool opened = reader.open(writeFile(dir_.filePath("data.gz"), bytes));
            const QStringList lines = opened ? readerLines(reader, offsets) : QStringList{"not opened"};
            damaged = reader.damaged();
            return lines;
        };
        bool damaged = false;
        const QStringList lines = read(packed, damaged);
        QVERIFY(!damaged && lines.size() == 41);
        for (qsizetype size = 2; size < packed.size(); ++size) {
            read(packed.first(size), damaged);
            QVERIFY2(damaged, qPrintable(QString("cut to %1 bytes").arg(size)));
        }
        for (qsizetype at = 2; at < packed.size(); ++at) {
            QByteArray changed = packed;
            changed[at] = char(changed[at] ^ 0x21);
            const QStringList changedLines = read(changed, damaged);
            QVERIFY2(damaged || changedLines == lines, qPrintable(QString("byte %1 changed").arg(at)));
        }
    }
};

QTEST_APPLESS_MAIN(LineReaderTest)
#include "test_linereader.moc"
