// The data file's rules: delimiter, header test, column search, the per-row
// tests in their order, and the log line of every fault.
#include "data/linereader.h"
#include "data/reader.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(Fault)

namespace {

QStringList remainingLines(LineReader &reader)
{
    QStringList lines;
    QByteArrayView line;
    qint64 offset = 0;
    while (reader.readLine(line, offset))
        lines << QString::fromUtf8(line);
    return lines;
}

} // namespace

class ReaderTest : public QObject
{
    Q_OBJECT
private slots:
    void faultMessages_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("message");
        auto add = [](const char *name, Fault fault, const char *message) {
            QTest::newRow(name) << fault << QString::fromUtf8(message);
        };
        add("none", Fault::None, "");
        add("open", Fault::CannotOpen, "Cannot open data file!");
        add("delimiter", Fault::UnknownDelimiter, "Unknown data file delimiter!");
        add("columns", Fault::TooFewColumns, "Data file contains < 3 columns!");
        add("header", Fault::IncorrectColumns, "Incorrect data columns!");
        add("p-value", Fault::NonNumericPValue, "Non-numeric p-value detected!");
        add("position", Fault::NonIntegerPosition, "Non-integer position value detected!");
        add("short row", Fault::MissingColumns, "Data line with missing columns detected!");
        add("invalid p", Fault::InvalidPValue, "Invalid p-value detected!");
        add("genome-wide", Fault::TooFewRowsGenomeWide, "Illegal data range in getManhattan0!");
        add("chromosome", Fault::TooFewRowsChromosome, "Illegal data range in getManhattan!");
        add("overflow", Fault::GenomeWideOverflow, "Genome-wide position out of range detected!");
    }
    void faultMessages()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, message);
        QCOMPARE(faultMessage(fault), message);
    }

    void detectLayout_data()
    {
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<char>("delimiter");
        QTest::addColumn<bool>("header");
        QTest::addColumn<int>("chr");
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("p");
        auto row = [](const char *name, const char *line, Fault fault, char delimiter, bool header, int chr = 1,
                      int pos = 2, int p = 3) {
            QTest::newRow(name) << QString::fromUtf8(line) << fault << delimiter << header << chr << pos << p;
        };
        const Fault ok = Fault::None, bad = Fault::IncorrectColumns;
        row("tab", "1\t100\t0.5", ok, '\t', false);
        row("space", "1 100 0.5", ok, ' ', false);
        row("comma", "1,100,0.5", ok, ',', false);
        row("tab before space and comma", "chr pos,x\tP\tq", ok, '\t', true, 1, 1, 2);
        row("space before comma", "p value,chr,pos", Fault::TooFewColumns, ' ', false);
        row("space before comma, 3 fields", "P value,chr,pos extra", ok, ' ', true, 2, 2, 1);
        row("more columns", "1\t100\t0.5\t7\t8", ok, '\t', false);
        row("empty line", "", Fault::UnknownDelimiter, '\t', false);
        row("semicolons", "1;100;0.5", Fault::UnknownDelimiter, '\t', false);
        row("two columns", "1\t100", Fault::TooFewColumns, '\t', false);
        row("two header columns", "CHR,POS", Fault::TooFewColumns, ',', false);
        row("numbers as Qt reads them", " 1\t+100\t.5", ok, '\t', false);
        row("nan and exponent are numbers", "1\t1e3\tnan", ok, '\t', false);
        row("a p-value below a double's range is a number", "1\t100\t1e-400", ok, '\t', false);
        row("empty field is a header", "1\t100\t", bad, '\t', true);
        row("NA is a header", "1\t100\tNA", bad, '\t', true);
        row("X is a header", "X\t100\t0.5", bad, '\t', true);
        row("chr1 is a header", "chr1\t100\t0.5", bad, '\t', true);
        row("SNP_ID CHR POS P", "SNP_ID CHR POS P", ok, ' ', true, 1, 3, 4);
        row("rsid chromosome position pval", "rsid chromosome position pval", ok, ' ', true, 1, 3, 4);
        row("CHR BP P", "CHR BP P", bad, ' ', true);
        row("P.value", "CHR\tPOS\tP.value", bad, '\t', true);
        row("Chromosome Position P-value", "Chromosome\tPosition\tP-value", ok, '\t', true, 1, 2, 3);
        row("PVAL POS chr", "PVAL\tPOS\tchr", ok, '\t', true, 3, 2, 1);
        row("pvalue CHROM bp_pos", "pvalue,CHROM,bp_pos", ok, ',', true, 2, 3, 1);
        row("field of two roles", "chrpos\tx\tP", ok, '\t', true, 1, 1, 3);
        row("P only as a whole field", "CHR\tPOS\tp1\tap\tp", ok, '\t', true, 1, 2, 5);
        row("first p-value field wins", "P\tPVAL\tchr\tpos", ok, '\t', true, 3, 4, 1);
        row("some and id", "awesome\tPos\tP\tMarkerId", ok, '\t', true, 1, 2, 3);
        row("id ignoring case", "Pos\tP\tMarkerID", ok, '\t', true, 3, 1, 2);
    }
    void detectLayout()
    {
        QFETCH(QString, firstLine);
        QFETCH(Fault, fault);
        const LayoutResult result = ::detectLayout(firstLine);
        QCOMPARE(faultMessage(result.fault), faultMessage(fault));
        if (fault == Fault::UnknownDelimiter)
            return;
        QTEST(result.layout.delimiter, "delimiter");
        QTEST(result.layout.header, "header");
        if (fault != Fault::None)
            return;
        QTEST(result.layout.chrColumn, "chr");
        QTEST(result.layout.posColumn, "pos");
        QTEST(result.layout.pColumn, "p");
    }

    void convertRow_data()
    {
        QTest::addColumn<QString>("header"); // settles the layout
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("kind");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("score");
        const QString tab = "CHR\tPOS\tP";
        auto kept = [](const char *name, const QString &header, const QByteArray &line, const QByteArray &label,
                       int position, double score) {
            QTest::newRow(name) << header << line << int(Row::Kept) << Fault::None << label << position << score;
        };
        auto skipped = [](const char *name, const QString &header, const QByteArray &line, const QByteArray &label) {
            QTest::newRow(name) << header << line << int(Row::Skipped) << Fault::None << label << 0 << 0.0;
        };
        auto bad = [](const char *name, const QString &header, const QByteArray &line, Fault fault) {
            QTest::newRow(name) << header << line << int(Row::Bad) << fault << QByteArray() << 0 << 0.0;
        };
        kept("plain", tab, "1\t100\t0.01", "1", 100, 2);
        kept("p of 1, negative position", tab, "X\t-5\t1", "X", -5, 0);
        kept("p above 1", tab, "1\t100\t10", "1", 100, -1);
        kept("blanks Qt accepts", tab, "1\t 150\t0.5 ", "1", 150, -std::log10(0.5));
        kept("plus sign", tab, "1\t+150\t+.5", "1", 150, -std::log10(0.5));
        kept("extra columns", tab, "1\t100\t0.1\tx\t\t", "1", 100, 1);
        kept("label unchanged", tab, " chr1 \t7\t0.1", " chr1 ", 7, 1);
        kept("quotes kept", tab, "\"1\"\t100\t0.1", "\"1\"", 100, 1);
        kept("below a double's range", tab, "1\t100\t1e-400", "1", 100, 400);
        kept("far below", tab, "1\t100\t2.5e-1000", "1", 100, 1000 - std::log10(2.5));
        kept("denormal", tab, "1\t100\t1e-320", "1", 100, -std::log10(1e-320));
        kept("columns in another order", "P\tCHR\tPOS", "0.001\tchr2\t300", "chr2", 300, 3);
        kept("one field, two roles", "chrpos\tx\tP", "12345\tfoo\t0.1", "12345", 12345, 1);
        kept("comma", "chr,pos,p", "1,100,0.1", "1", 100, 1);
        skipped("NA", tab, "1\t100\tNA", "1");
        skipped("NA before position", tab, "1\t150.0\tNA", "1");
        skipped("zero before position", tab, "1\tabc\t0", "1");
        skipped("0.0", tab, "1\t100\t0.0", "1");
        skipped("0e0", tab, "1\t100\t0e0", "1");
        skipped("-0", tab, "1\t100\t-0", "1");
        bad("NA and a blank", tab, "1\t100\tNA ", Fault::NonNumericPValue);
        bad("na", tab, "1\t100\tna", Fault::NonNumericPValue);
        bad("empty p-value", tab, "1\t100\t", Fault::NonNumericPValue);
        bad("quoted p-value", tab, "1\t100\t\"0.5\"", Fault::NonNumericPValue);
        bad("p-value before position", tab, "1\tabc\tx", Fault::NonNumericPValue);
        bad("150.0", tab, "1\t150.0\t0.5", Fault::NonIntegerPosition);
        bad("past 32 bits", tab, "1\t2147483648\t0.5", Fault::NonIntegerPosition);
        bad("position of a tiny p-value", tab, "1\tabc\t1e-400", Fault::NonIntegerPosition);
        bad("aligned spaces shift fields", "CHR POS P", "1  100 0.5", Fault::NonIntegerPosition);
        bad("negative", tab, "1\t100\t-0.5", Fault::InvalidPValue);
        bad("nan", tab, "1\t100\tnan", Fault::InvalidPValue);
        bad("inf", tab, "1\t100\tinf", Fault::InvalidPValue);
        bad("-inf", tab, "1\t100\t-inf", Fault::InvalidPValue);
        bad("beyond a double", tab, "1\t100\t1e400", Fault::InvalidPValue);
        bad("negative and tiny", tab, "1\t100\t-1e-400", Fault::InvalidPValue);
        bad("invalid before position", tab, "1\tabc\tnan", Fault::InvalidPValue);
        bad("two fields", tab, "1\t100", Fault::MissingColumns);
        bad("one field", tab, "1", Fault::MissingColumns);
        bad("missing before NA", "P\tCHR\tPOS", "NA\t1", Fault::MissingColumns);
        bad("missing before zero", "P\tCHR\tPOS", "0\t1", Fault::MissingColumns);
    }
    void convertRow()
    {
        QFETCH(QString, header);
        QFETCH(QByteArray, line);
        QFETCH(int, kind);
        QFETCH(Fault, fault);
        const LayoutResult layout = ::detectLayout(header);
        QVERIFY(layout.fault == Fault::None && layout.layout.header);
        const Row row = ::convertRow(line, layout.layout);
        QCOMPARE(faultMessage(row.fault), faultMessage(fault));
        QCOMPARE(int(row.kind), kind);
        if (kind == Row::Bad)
            return;
        QTEST(row.label.toByteArray(), "label");
        if (kind == Row::Skipped)
            return;
        QTEST(row.position, "position");
        QFETCH(double, score);
        QVERIFY2(std::fabs(row.score - score) <= 1e-12 * std::max(1.0, std::fabs(score)),
                 qPrintable(QString::number(row.score, 'g', 17)));
    }

    void openDataFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QStringList>("dataLines"); // what is left to read
        const QStringList rows = {"1\t100\t0.5", "", "2\t200\t0.1"};
        QTest::newRow("empty file") << QByteArray() << Fault::None << false << QStringList();
        QTest::newRow("no header: first line read again")
            << QByteArray("1\t100\t0.5\n\n2\t200\t0.1\n") << Fault::None << false << rows;
        QTest::newRow("header") << QByteArray("CHR\tPOS\tP\r\n1\t100\t0.5\r\n\r\n2\t200\t0.1") << Fault::None
                                << true << rows;
        QTest::newRow("BOM before a header") << QByteArray("\xef\xbb\xbfP\tCHR\tPOS\n0.5\t1\t100\n") << Fault::None
                                             << true << QStringList({"0.5\t1\t100"});
        QTest::newRow("BOM, no header") << QByteArray("\xef\xbb\xbf" "1\t100\t0.5\n") << Fault::None << false
                                        << QStringList({"1\t100\t0.5"});
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        QTest::newRow("UTF-16") << QByteArray(utf16(u"CHR\tPOS\tP\r\n1\t100\t0.5\r\n")) << Fault::None << true
                                << QStringList({"1\t100\t0.5"});
        QTest::newRow("empty first line") << QByteArray("\n1\t100\t0.5\n") << Fault::UnknownDelimiter << false
                                          << QStringList();
        QTest::newRow("first line of a CR") << QByteArray("\r\n1\t100\t0.5\n") << Fault::UnknownDelimiter
                                            << false << QStringList();
        QTest::newRow("too few columns") << QByteArray("1\t100\n") << Fault::TooFewColumns << false
                                         << QStringList();
        QTest::newRow("header without position") << QByteArray("CHR\tBP\tP\n") << Fault::IncorrectColumns << true
                                                 << QStringList();
    }
    void openDataFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Fault, fault);
        QTemporaryDir dir;
        const QString path = dir.filePath("data.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        LineReader reader;
        const LayoutResult result = ::openDataFile(reader, path);
        QCOMPARE(faultMessage(result.fault), faultMessage(fault));
        if (fault != Fault::None && fault != Fault::IncorrectColumns)
            return;
        QTEST(result.layout.header, "header");
        if (fault == Fault::None)
            QTEST(remainingLines(reader), "dataLines");
    }

    void cannotOpen()
    {
        QTemporaryDir dir;
        for (const QString &path : {dir.filePath("missing.txt"), dir.path()}) {
            LineReader reader;
            QCOMPARE(faultMessage(::openDataFile(reader, path).fault), QStringLiteral("Cannot open data file!"));
        }
    }
};

QTEST_APPLESS_MAIN(ReaderTest)
#include "test_reader.moc"
