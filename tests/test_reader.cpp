// The data file's rules: delimiter, header test, column search, the per-row
// tests in their order, and the log line of every fault.
#include "data/linereader.h"
#include "data/reader.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(Fault)

class ReaderTest : public QObject
{
    Q_OBJECT
private slots:
    void detectLayout_data()
    {
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<char>("delimiter");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QList<int>>("columns"); // chromosome, position, p-value
        auto row = [](const char *name, const QByteArray &line, Fault fault, char delimiter, bool header,
                      QList<int> columns = {1, 2, 3}) {
            QTest::newRow(name) << QString::fromUtf8(line) << fault << delimiter << header << columns;
        };
        const Fault ok = Fault::None, bad = Fault::IncorrectColumns;
        row("comma", "1,100,0.5", ok, ',', false);
        row("tab before space and comma", "chr pos,x\tP\tq", ok, '\t', true, {1, 1, 2});
        row("space before comma", "p value,chr,pos", Fault::TooFewColumns, ' ', false);
        row("semicolons", "1;100;0.5", Fault::UnknownDelimiter, '\t', false);
        // Blanks, "+", ".5", "nan", exponents and p-values below a double's range are all numbers.
        row("numbers as Qt reads them", " 1\t+100\t.5 \tnan\t1e3\t1e-400", ok, '\t', false);
        // Beyond a double, only a positive number too small for one counts as a number.
        row("too large is a header", "1\t100\t1e999", bad, '\t', true);
        row("negative and tiny is a header", "1\t100\t-1e-400", bad, '\t', true);
        row("401-digit integer is a header", "1\t1" + QByteArray(400, '0') + "\t0.5", bad, '\t', true);
        row("empty field is a header", "1\t100\t", bad, '\t', true);
        row("NA is a header", "1\t100\tNA", bad, '\t', true);
        row("X is a header", "X\t100\t0.5", bad, '\t', true);
        row("SNP_ID CHR POS P", "SNP_ID CHR POS P", ok, ' ', true, {2, 3, 4});
        row("CHR BP P", "CHR BP P", bad, ' ', true);
        row("P.value", "CHR\tPOS\tP.value", bad, '\t', true);
        row("Chromosome Position P-value", "Chromosome\tPosition\tP-value", ok, '\t', true);
        row("PVAL POS chr", "PVAL\tPOS\tchr", ok, '\t', true, {3, 2, 1});
        row("pvalue CHROM bp_pos", "pvalue,CHROM,bp_pos", ok, ',', true, {2, 3, 1});
        row("P only as a whole field", "CHR\tPOS\tp1\tap\tp", ok, '\t', true, {1, 2, 5});
        row("first p-value field wins", "P\tPVAL\tchr\tpos", ok, '\t', true, {3, 4, 1});
        row("some and id", "awesome\tPos\tP\tMarkerId", ok, '\t', true, {1, 2, 3});
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
        if (fault == Fault::None)
            QTEST(QList<int>({result.layout.chrColumn, result.layout.posColumn, result.layout.pColumn}), "columns");
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
        auto other = [](const char *name, const QByteArray &line, Row::Kind kind, Fault fault = Fault::None,
                        const QString &header = "CHR\tPOS\tP") {
            QTest::newRow(name) << header << line << int(kind) << fault << QByteArray() << 0 << 0.0;
        };
        kept("p above 1, negative position", tab, "X\t-5\t10", "X", -5, -1);
        kept("blanks and signs Qt accepts", tab, "1\t +150\t+.5 ", "1", 150, -std::log10(0.5));
        kept("label unchanged, quotes kept", tab, " \"chr1\" \t7\t0.1", " \"chr1\" ", 7, 1);
        kept("far below", tab, "1\t100\t2.5e-1000", "1", 100, 1000 - std::log10(2.5));
        kept("denormal", tab, "1\t100\t1e-320", "1", 100, 320);
        kept("columns in another order", "P\tCHR\tPOS", "0.001\tchr2\t300", "chr2", 300, 3);
        kept("one field, two roles", "chrpos\tx\tP", "12345\tfoo\t0.1", "12345", 12345, 1);
        other("NA before position", "1\t150.0\tNA", Row::Skipped);
        other("zero before position", "1\tabc\t0e0", Row::Skipped);
        other("-0", "1\t100\t-0", Row::Skipped);
        other("NA and a blank, before position", "1\tabc\tNA ", Row::Bad, Fault::NonNumericPValue);
        other("na", "1\t100\tna", Row::Bad, Fault::NonNumericPValue);
        other("position of a tiny p-value", "1\tabc\t1e-400", Row::Bad, Fault::NonIntegerPosition);
        other("aligned spaces shift fields", "1  100 0.5", Row::Bad, Fault::NonIntegerPosition, "CHR POS P");
        other("nan, before position", "1\tabc\tnan", Row::Bad, Fault::InvalidPValue);
        other("beyond a double", "1\t100\t1e400", Row::Bad, Fault::NonNumericPValue);
        other("far beyond a double", "1\t100\t1e999", Row::Bad, Fault::NonNumericPValue);
        other("negative and huge", "1\t100\t-1e999", Row::Bad, Fault::InvalidPValue);
        other("negative and tiny", "1\t100\t-1e-400", Row::Bad, Fault::InvalidPValue);
        other("missing before NA", "NA\t1", Row::Bad, Fault::MissingColumns, "P\tCHR\tPOS");
    }
    void convertRow()
    {
        QFETCH(QString, header);
        QFETCH(QByteArray, line);
        QFETCH(Fault, fault);
        const Row row = ::convertRow(line, ::detectLayout(header).layout);
        QCOMPARE(faultMessage(row.fault), faultMessage(fault));
        QTEST(int(row.kind), "kind");
        if (row.kind != Row::Kept)
            return;
        QTEST(row.label.toByteArray(), "label");
        QTEST(row.position, "position");
        QFETCH(double, score);
        QVERIFY2(std::fabs(row.score - score) <= 1e-12 * std::max(1.0, std::fabs(score)),
                 qPrintable(QString::number(row.score, 'g', 17)));
    }

    // What is left to read once the layout is settled: the first line again
    // unless it is a header.
    void openDataFile()
    {
        const QStringList rows = {"1\t100\t0.5", "", "2\t200\t0.1"};
        const struct { QByteArray bytes; Fault fault; QStringList dataLines; } cases[] = {
            {"", Fault::None, {}},
            {"1\t100\t0.5\n\n2\t200\t0.1\n", Fault::None, rows},
            {"CHR\tPOS\tP\r\n1\t100\t0.5\r\n\r\n2\t200\t0.1", Fault::None, rows},
            {"\n1\t100\t0.5\n", Fault::UnknownDelimiter, {}},
        };
        QTemporaryDir dir;
        for (const auto &c : cases) {
            LineReader reader;
            QCOMPARE(::openDataFile(reader, writeFile(dir.filePath("data.txt"), c.bytes)).fault, c.fault);
            QStringList lines;
            QByteArrayView line;
            qint64 offset = 0;
            while (c.fault == Fault::None && reader.readLine(line, offset))
                lines << QString::fromUtf8(line);
            QCOMPARE(lines, c.dataLines);
        }
        LineReader reader; // a directory is no data file
        QCOMPARE(::openDataFile(reader, dir.path()).fault, Fault::CannotOpen);
    }
};

QTEST_APPLESS_MAIN(ReaderTest)
#include "test_reader.moc"
