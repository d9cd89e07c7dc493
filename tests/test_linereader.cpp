// LineReader must give the lines a text-mode QTextStream in the system
// encoding gives, on any bytes, and re-read them after seek().
#include "data/linereader.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {

constexpr int kBlock = 1 << 20;      // the reader's block size
constexpr int kStreamRead = 16384;   // what QTextStream reads at a time

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

struct ReadLines {
    QStringList lines;
    QList<qint64> offsets;
};

// The lines as text. Unlike QString::fromUtf8, the decoder keeps a
// byte-order mark at the start of a line, as the stream does in mid-file.
ReadLines readerLines(LineReader &reader)
{
    ReadLines result;
    QByteArrayView line;
    qint64 offset = 0;
    while (reader.readLine(line, offset)) {
        QStringDecoder decode(QStringConverter::Utf8,
                              QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
        result.lines << decode(line);
        result.offsets << offset;
    }
    return result;
}

// Whether a file ends in one more empty line (after its last LF, a run of
// CRs; or a file that holds nothing but a byte-order mark) depends, for the
// stream, on where its internal 16 KiB reads happen to end. Empty lines are
// skipped by every load, so such a line is left out of the comparison.
QStringList withoutFinalEmptyLine(QStringList lines)
{
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Index of the first line that differs, for a readable failure.
QByteArray firstDifference(const QStringList &got, const QStringList &expected)
{
    for (qsizetype i = 0; i < std::max(got.size(), expected.size()); ++i) {
        const QString g = i < got.size() ? got[i] : QStringLiteral("<none>");
        const QString e = i < expected.size() ? expected[i] : QStringLiteral("<none>");
        if (g != e)
            return QStringLiteral("line %1 of %2/%3: got \"%4\", expected \"%5\"")
                .arg(i).arg(got.size()).arg(expected.size()).arg(g.left(40), e.left(40)).toUtf8();
    }
    return QByteArray();
}

QByteArray utf16(const QString &text, bool bigEndian)
{
    QStringEncoder encode(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                          QStringConverter::Flag::WriteBom);
    return encode(text);
}

} // namespace

class LineReaderTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir_;

    // Writes the bytes, then checks the lines, atEnd() and isEmpty().
    void checkFile(const QByteArray &bytes)
    {
        const QString path = dir_.filePath("data.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
        file.close();

        LineReader reader;
        QVERIFY(reader.open(path));
        QCOMPARE(reader.isEmpty(), bytes.isEmpty());
        const QStringList expected = withoutFinalEmptyLine(referenceLines(path));
        const QStringList got = withoutFinalEmptyLine(readerLines(reader).lines);
        QVERIFY2(got == expected, firstDifference(got, expected).constData());
        QVERIFY(reader.atEnd());
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void sameLinesAsTextStream_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray longLine = QByteArray(3 * kBlock + 17, 'x');
        QByteArray acrossBlocks; // line ends, CR LF pairs and UTF-8 split by block edges
        for (int i = 0; acrossBlocks.size() < 3 * kBlock; ++i)
            acrossBlocks += "chr" + QByteArray::number(i) + "\t\xc3\xa9\t0.5\r\n";
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("LF") << QByteArray("a\tb\nc\n");
        QTest::newRow("CR LF") << QByteArray("a\tb\r\nc\r\n");
        QTest::newRow("no LF at end") << QByteArray("a\nlast");
        QTest::newRow("empty lines") << QByteArray("\n\na\n\n");
        QTest::newRow("lone CR") << QByteArray("a\rb\nc\r");
        QTest::newRow("only CRs") << QByteArray("\r\r\r");
        QTest::newRow("CR then CR LF") << QByteArray("a\r\r\nb");
        QTest::newRow("CRs after the last LF") << QByteArray("a\n\r\r");
        QTest::newRow("NUL bytes") << QByteArray("a\0b\n\0\n", 7);
        QTest::newRow("invalid UTF-8") << QByteArray("?\xff\xfe\n\xc0\x80\t\xed\xa0\x80\n");
        QTest::newRow("truncated before TAB") << QByteArray("\xe2\x82\t1\n\xc3\t2\n");
        QTest::newRow("truncated before LF") << QByteArray("a\xe2\x82\nb\xf0\x9f\x98\nc\xc3");
        QTest::newRow("CR inside a sequence") << QByteArray("\xc3\r\xa9\n\xf0\x9f\r\r\x98\x80\t\xe2\r\x82\r\n");
        QTest::newRow("CR inside a sequence at the end") << QByteArray("a\n\xe2\x82\r\xac");
        QTest::newRow("unfinished sequence after CR") << QByteArray("\xc3\r\n\xa9");
        QTest::newRow("only an unfinished sequence") << QByteArray("\xf0\x9f\x98");
        QTest::newRow("Latin-1 bytes") << QByteArray("chr\xe9\t1\t0.5\n");
        QTest::newRow("UTF-8 BOM") << QByteArray("\xef\xbb\xbf" "CHR\tPOS\r\n1\t2\n");
        QTest::newRow("UTF-8 BOM not at start") << QByteArray("a\n\xef\xbb\xbf" "b\n");
        QTest::newRow("two UTF-8 BOMs") << QByteArray("\xef\xbb\xbf\xef\xbb\xbf" "b\n");
        QTest::newRow("only a UTF-8 BOM") << QByteArray("\xef\xbb\xbf");
        QTest::newRow("only a UTF-16 BOM") << QByteArray("\xff\xfe");
        QTest::newRow("UTF-16 LE") << utf16("CHR\tPOS\tP\r\nchr\u00e9\t1\t0.5\n\u4e2d\n", false);
        QTest::newRow("UTF-16 BE") << utf16("CHR\tPOS\tP\nX\t1\t0.5", true);
        QTest::newRow("UTF-16 with a 0x0D byte") << utf16("\u010d\u0d05\r\n\u0a0d\n", false); // 0x0D bytes that are no CR
        QTest::newRow("UTF-32 LE") << QByteArray("\xff\xfe\0\0" "a\0\0\0\r\0\0\0\n\0\0\0" "b\0\0\0", 20);
        QTest::newRow("line longer than a block") << "a\n" + longLine + "\nb\n";
        QTest::newRow("line longer than a block, no LF") << longLine;
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
        static const char alphabet[] = "a\t\r\n\xc3\xa9\xff 0";
        for (int round = 0; round < 40; ++round) {
            // Half small files, half around the block edge.
            const int size = round % 2 ? kBlock + random.bounded(-300, 300) : random.bounded(200);
            const int lineEvery = 1 + random.bounded(round % 4 ? 40 : 5000); // how often LF comes
            QByteArray bytes(size, 'a');
            for (char &c : bytes)
                c = random.bounded(lineEvery) == 0 ? '\n' : alphabet[random.bounded(int(sizeof alphabet) - 1)];
            // Qt's decoder loses the byte after a sequence left unfinished at
            // the end of one of the stream's 16 KiB reads (even an LF); the
            // reader need not copy that, so no lead byte ends such a read.
            for (int edge = kStreamRead - 1; edge < size; edge += kStreamRead) {
                if (bytes[edge] == '\xc3')
                    bytes[edge] = 'a';
            }
            checkFile(bytes);
            if (QTest::currentTestFailed()) {
                qWarning("round %d, %d bytes", round, size);
                return;
            }
        }
    }

    void seekRereadsFromALineStart_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray big; // lines on both sides of a block edge
        for (int i = 0; big.size() < kBlock + 5000; ++i)
            big += QByteArray::number(i) + "\tx\r\n";
        QTest::newRow("UTF-8 BOM and CR LF") << QByteArray("\xef\xbb\xbf" "h1\r\nl2\r\n\r\nl4\n");
        QTest::newRow("UTF-16") << utf16("h1\r\nl2\n\nl4", false);
        QTest::newRow("over a block") << big;
    }
    void seekRereadsFromALineStart()
    {
        QFETCH(QByteArray, bytes);
        const QString path = dir_.filePath("seek.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();

        LineReader reader;
        QVERIFY(reader.open(path));
        const ReadLines all = readerLines(reader);
        QCOMPARE(all.lines, referenceLines(path));
        const qsizetype count = all.lines.size();
        for (const qsizetype i : {count - 1, qsizetype(1), count / 2, qsizetype(0), count - 2}) {
            QVERIFY(reader.seek(all.offsets[i]));
            const ReadLines rest = readerLines(reader);
            QCOMPARE(rest.lines, all.lines.mid(i));
            QCOMPARE(rest.offsets, all.offsets.mid(i));
        }
        QVERIFY(reader.seek(0)); // the start of the text, after any byte-order mark
        QCOMPARE(readerLines(reader).lines, all.lines);
    }
};

QTEST_APPLESS_MAIN(LineReaderTest)
#include "test_linereader.moc"
