// LineReader must give the lines a text-mode QTextStream in the system
// encoding gives, on any bytes, and re-read them after seek().
#include "data/linereader.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {

constexpr int kBlock = 1 << 20; // the reader's block size

// How the data file is meant to be read.
QStringList referenceLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot open %s", qPrintable(path));
    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::System);
    QStringList lines;
    while (!stream.atEnd())
        lines << stream.readLine();
    return lines;
}

// The lines as text (and where each starts). Unlike QString::fromUtf8, the
// decoder keeps a byte-order mark at the start of a line, as the stream does
// in mid-file.
QStringList readerLines(LineReader &reader, QList<qint64> *offsets = nullptr)
{
    QStringList lines;
    QByteArrayView line;
    qint64 offset = 0;
    while (reader.readLine(line, offset)) {
        using Flag = QStringConverter::Flag;
        lines << QStringDecoder(QStringConverter::Utf8, Flag::Stateless | Flag::ConvertInitialBom)(line);
        if (offsets)
            *offsets << offset;
    }
    return lines;
}

// Whether a file ends in one more empty line (after its last LF, a run of
// CRs; or a file that holds nothing but a byte-order mark) depends, for the
// stream, on where its 16 KiB reads end. Every load skips empty lines, so
// such a line is left out of the comparison.
QStringList withoutFinalEmptyLine(QStringList lines)
{
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray utf16(const QString &text, bool bigEndian = false)
{
    return QStringEncoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                          QStringConverter::Flag::WriteBom)(text);
}

} // namespace

class LineReaderTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;

    // Writes the bytes, then checks isEmpty(), the lines, atEnd(), and that a
    // seek() to a line's start (or to 0, after any byte-order mark) reads on
    // from there.
    void checkFile(const QByteArray &bytes)
    {
        const QString path = writeFile(dir_.filePath("data.txt"), bytes);
        LineReader reader;
        QVERIFY(reader.open(path));
        QCOMPARE(reader.isEmpty(), bytes.isEmpty());
        QList<qint64> offsets;
        const QStringList lines = readerLines(reader, &offsets);
        QCOMPARE(withoutFinalEmptyLine(lines), withoutFinalEmptyLine(referenceLines(path)));
        QVERIFY(reader.atEnd());
        const qsizetype count = lines.size();
        for (const qsizetype i : {count - 1, qsizetype(1), count / 2, count - 2}) {
            if (i < 0 || i >= count)
                continue;
            QList<qint64> restOffsets;
            QVERIFY(reader.seek(offsets[i]));
            QCOMPARE(readerLines(reader, &restOffsets), lines.mid(i));
            QCOMPARE(restOffsets, offsets.mid(i));
        }
        QVERIFY(reader.seek(0));
        QCOMPARE(readerLines(reader), lines);
    }

private slots:
    void sameLinesAsTextStream_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray longLine(3 * kBlock + 17, 'x');
        QByteArray acrossBlocks; // line ends, CR LF pairs and UTF-8 split by block edges
        for (int i = 0; acrossBlocks.size() < 3 * kBlock; ++i)
            acrossBlocks += "chr" + QByteArray::number(i) + "\t\xc3\xa9\t0.5\r\n";
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("line ends, lone CRs, NUL") << QByteArrayLiteral("a\tb\r\n\n\nc\rd\r\r\ne\0f\nlast");
        QTest::newRow("only CRs") << QByteArray("\r\r\r");
        QTest::newRow("CRs after the last LF") << QByteArray("a\n\r\r");
        QTest::newRow("invalid and truncated UTF-8, Latin-1")
            << QByteArray("?\xff\xfe\n\xc0\x80\t\xed\xa0\x80\n\xe2\x82\t1\n\xc3\t2\nb\xf0\x9f\x98\nchr\xe9\t1\n");
        QTest::newRow("CR inside a sequence") << QByteArray("\xc3\r\xa9\n\xf0\x9f\r\r\x98\x80\t\xe2\r\x82\r\n");
        QTest::newRow("CR inside a sequence at the end") << QByteArray("a\n\xe2\x82\r\xac");
        QTest::newRow("unfinished sequence after CR") << QByteArray("\xc3\r\n\xa9");
        QTest::newRow("only an unfinished sequence") << QByteArray("\xf0\x9f\x98");
        QTest::newRow("UTF-8 BOMs") << QByteArray("\xef\xbb\xbf\xef\xbb\xbf" "C\r\n\xef\xbb\xbf" "b\n");
        QTest::newRow("only a UTF-8 BOM") << QByteArray("\xef\xbb\xbf");
        QTest::newRow("only a UTF-16 BOM") << QByteArray("\xff\xfe");
        QTest::newRow("UTF-16 LE, 0x0D bytes that are no CR") << utf16("C\tP\r\nchr\u00e9\t1\n\u010d\u0d05\r\n\u0a0d");
        QTest::newRow("UTF-16 BE") << utf16("CHR\tPOS\tP\nX\t1\t0.5", true);
        QTest::newRow("UTF-32 LE") << QByteArrayLiteral("\xff\xfe\0\0" "a\0\0\0\r\0\0\0\n\0\0\0" "b\0\0\0");
        QTest::newRow("lines longer than a block") << "a\n" + longLine + "\n" + longLine;
        QTest::newRow("lines across blocks") << acrossBlocks;
    }
    void sameLinesAsTextStream()
    {
        QFETCH(QByteArray, bytes);
        checkFile(bytes);
    }

    void sameLinesOnRandomFiles()
    {
        QRandomGenerator random(7411);
        const char alphabet[] = "a\t\r\n\xc3\xa9\xff 0";
        for (int round = 0; round < 40; ++round) {
            // Half small files, half around the block edge; lines short or long.
            const int size = round % 2 ? kBlock + random.bounded(-300, 300) : random.bounded(200);
            const int lineEvery = 1 + random.bounded(round % 4 ? 40 : 5000);
            QByteArray bytes(size, 'a');
            for (char &c : bytes)
                c = random.bounded(lineEvery) == 0 ? '\n' : alphabet[random.bounded(int(sizeof alphabet) - 1)];
            // Qt's decoder loses the byte after a sequence left unfinished at
            // the end of one of the stream's 16 KiB reads; the reader need not
            // copy that, so no lead byte ends such a read.
            for (int edge = 16384 - 1; edge < size; edge += 16384)
                bytes[edge] = bytes[edge] == '\xc3' ? 'a' : bytes[edge];
            checkFile(bytes);
            QVERIFY2(!QTest::currentTestFailed(), qPrintable(QString("in round %1").arg(round)));
        }
    }
};

QTEST_APPLESS_MAIN(LineReaderTest)
#include "test_linereader.moc"
