// Files as other tools write them: which columns each layout gives, the log
// line that names them, the rows read from them, and the layouts still
// refused. Each file is written from the header its tool writes.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/linereader.h"
#include "data/loads.h"
#include "data/reader.h"
#include "support/testsupport.h"

#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(Fault)

namespace {

// The layout's log line and the kept rows as "label position score", or the
// fault's message where the file or a row is refused.
struct Reading {
    QString columns;
    QStringList rows;
};

Reading readAll(const QByteArray &bytes)
{
    QTemporaryDir dir;
    LineReader reader;
    const LayoutResult layout = openDataFile(reader, writeFile(dir.filePath("data"), bytes));
    if (layout.fault != Fault::None)
        return {faultMessage(layout.fault), {}};
    Reading r{layout.columns, {}};
    QByteArrayView line;
    qint64 offset = 0;
    while (reader.readLine(line, offset)) {
        if (line.isEmpty())
            continue;
        const Row row = convertRow(line, layout.layout);
        if (row.kind == Row::Bad)
            return {faultMessage(row.fault), r.rows};
        if (row.kind == Row::Kept)
            r.rows << QString::fromUtf8(row.label) + ' ' + QString::number(row.position) + ' '
                    + QString::number(row.score, 'g', 6);
    }
    return r;
}

const QString kCompatible = " (compatible reading)";

} // namespace

class LayoutsTest : public QObject
{
    Q_OBJECT
private slots:
    void layouts_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("columns"); // the log line, or the refusal
        QTest::addColumn<QStringList>("rows");
        const auto layout = [](const char *name, const QByteArray &file, const QString &columns,
                               const QStringList &rows = {}) { QTest::newRow(name) << file << columns << rows; };
        const QString plink = "Columns read: chromosome CHR, position BP, p-value P" + kCompatible;

        layout("PLINK 1.9 .assoc",
               " CHR         SNP         BP   A1      F_A      F_U   A2        CHISQ            P           OR \n"
               "   1   rs3094315     752566    G   0.1484   0.1393    A       0.3116       0.5767        1.077 \n"
               "   1   rs2073814     753474    C   0.1469   0.1386    G           NA           NA           NA \n"
               "   2  rs12345678    1000000    T      0.2      0.1    C           30      1.2e-08            2 \n",
               plink, {"1 752566 0.23905", "2 1000000 7.92082"});
        layout("PLINK 1.9 .qassoc",
               " CHR         SNP         BP    NMISS       BETA         SE         R2        T            P \n"
               "  22   rs9605903   17054470      500     0.1234    0.05123    0.01154    2.409      0.01636 \n"
               "  22   rs5746647   17057138      498   -0.01235    0.04812  0.0001327  -0.2567       0.7975 \n",
               plink, {"22 17054470 1.78622", "22 17057138 0.0982693"});
        layout("PLINK 1.9 .assoc.linear with covariates",
               " CHR         SNP         BP   A1       TEST    NMISS       BETA         STAT            P \n"
               "   1   rs3094315     752566    G        ADD      500     0.1234        1.234       0.2176\n"
               "   1   rs3094315     752566    G        AGE      500   -0.02345       -3.456    0.0005934\n"
               "   1   rs2073814     753474    C        ADD      500    -0.3333       -5.678     2.31e-08\n"
               "   1   rs2073814     753474    C        AGE      500   -0.02345       -3.456    0.0005934\n",
               "Columns read: chromosome CHR, position BP, p-value P, rows with TEST ADD" + kCompatible,
               {"1 752566 0.662341", "1 753474 7.63639"});
        layout("PLINK 1.9 .assoc.logistic",
               " CHR         SNP         BP   A1       TEST    NMISS         OR         STAT            P \n"
               "   3     rs10000     100000    A        ADD      900      1.234        2.345      0.01902 \n",
               "Columns read: chromosome CHR, position BP, p-value P, rows with TEST ADD" + kCompatible,
               {"3 100000 1.72079"});
        layout("REGENIE",
               "CHROM GENPOS ID ALLELE0 ALLELE1 A1FREQ INFO N TEST BETA SE CHISQ LOG10P EXTRA\n"
               "1 10177 1:10177:A:AC A AC 0.4 1 500 ADD 0.1 0.2 0.3 0.41 NA\n"
               "1 10177 1:10177:A:AC A AC 0.4 1 500 DOM 0.1 0.2 0.3 9.5 NA\n"
               "1 10235 1:10235:T:TA T TA 0.001 1 500 ADD 0.5 0.1 40 350.25 NA\n",
               "Columns read: chromosome CHROM, position GENPOS, -log10 p-value LOG10P, rows with TEST ADD"
                   + kCompatible,
               {"1 10177 0.41", "1 10235 350.25"});
        const QByteArray saige = "CHR POS MarkerID Allele1 Allele2 AC_Allele2 AF_Allele2 MissingRate BETA SE Tstat var "
                                 "p.value N\n1 13550 1:13550:G:A G A 12 0.006 0 0.5 0.3 1.7 3.2 0.0956 1000\n";
        const QString saigeColumns = "Columns read: chromosome CHR, position POS, p-value p.value" + kCompatible;
        layout("SAIGE, SPACE", saige, saigeColumns, {"1 13550 1.01954"});
        layout("SAIGE, TAB", QByteArray(saige).replace(' ', '\t'), saigeColumns, {"1 13550 1.01954"});
        layout("BOLT-LMM",
               "SNP\tCHR\tBP\tGENPOS\tALLELE1\tALLELE0\tA1FREQ\tF_MISS\tBETA\tSE\tP_BOLT_LMM_INF\tCHISQ_BOLT_LMM\t"
               "P_BOLT_LMM\nrs58108140\t1\t10583\t0.000000\tA\tG\t0.1\t0.01\t0.002\t0.003\t0.5\t0.4\t1e-3\n",
               "Columns read: chromosome CHR, position BP, p-value P_BOLT_LMM" + kCompatible, {"1 10583 3"});
        layout("GCTA .mlma", "Chr\tSNP\tbp\tA1\tA2\tFreq\tb\tse\tp\n1\trs1\t1000\tA\tG\t0.3\t0.1\t0.02\t1e-5\n",
               "Columns read: chromosome Chr, position bp, p-value p" + kCompatible, {"1 1000 5"});
        layout("GEMMA",
               "chr\trs\tps\tn_miss\tallele1\tallele0\taf\tbeta\tse\tlogl_H1\tl_remle\tp_wald\n"
               "1\trs3683945\t3197400\t0\tA\tG\t0.443\t-7.8e-02\t6.1e-02\t-1.6e+03\t4.4e+00\t0.01\n",
               "Columns read: chromosome chr, position ps, p-value p_wald" + kCompatible, {"1 3197400 2"});
        layout("GWAS Catalog",
               "chromosome\tbase_pair_location\teffect_allele\tother_allele\tbeta\tstandard_error\t"
               "effect_allele_frequency\tp_value\tvariant_id\trsid\n"
               "10\t100000\tA\tG\t0.1\t0.01\t0.2\t1e-100\t10_100000_A_G\trs1\n",
               "Columns read: chromosome chromosome, position base_pair_location, p-value p_value" + kCompatible,
               {"10 100000 100"});
        layout("qqman", "SNP CHR BP P\nrs1 1 1 0.914806\nrs2 1 2 0.937075\n", plink,
               {"1 1 0.038671", "1 2 0.0282256"});
        layout("SNPTEST, with comments",
               "# Analysis: \"test\"\n# Command line: snptest -data a.gen a.sample -o out -frequentist 1\n#\n"
               "alternate_ids rsid chromosome position alleleA alleleB index all_maf frequentist_add_pvalue\n"
               "SNP1 rs1 01 1000 A G 1 0.2 0.001\nSNP2 rs2 01 2000 A G 2 0.2 NA\n"
               "# Completed successfully at 2024-06-11 12:00:00\n",
               "Columns read: chromosome chromosome, position position, p-value frequentist_add_pvalue"
                   + kCompatible,
               {"01 1000 3"});
        layout("Pan-UKB",
               "chr\tpos\tref\talt\taf_meta_hq\tbeta_meta_hq\tse_meta_hq\tneglog10_pval_meta_hq\t"
               "neglog10_pval_heterogeneity_hq\taf_meta\tbeta_meta\tse_meta\tneglog10_pval_meta\n"
               "1\t11063\tT\tG\t0.1\t0.2\t0.1\t4.5\t0.1\t0.1\t0.2\t0.1\t4.4\n"
               "1\t13259\tG\tA\tNA\tNA\tNA\tNA\tNA\t0.1\t0.2\t0.1\t0.3\n"
               "1\t17641\tG\tA\t0.1\t0.2\t0.1\t320.7\t0.1\t0.1\t0.2\t0.1\t300\n",
               "Columns read: chromosome chr, position pos, -log10 p-value neglog10_pval_meta_hq",
               {"1 11063 4.5", "1 17641 320.7"});
        layout("PLINK 2 with covariates",
               "#CHROM\tPOS\tID\tREF\tALT\tA1\tTEST\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n"
               "1\t1000\trs1\tA\tG\tG\tADD\t500\t0.1\t0.1\t1\t0.1\t.\n"
               "1\t1000\trs1\tA\tG\tG\tAGE\t500\t0.1\t0.1\t9\t1e-9\t.\n"
               "1\t1000\trs1\tA\tG\tG\tSEX\t500\t0.1\t0.1\t9\tNA\t.\n"
               "1\t2000\trs2\tC\tT\tT\tADD\t500\t0.1\t0.1\t1\t0.01\t.\n",
               "Columns read: chromosome #CHROM, position POS, p-value P, rows with TEST ADD",
               {"1 1000 1", "1 2000 2"});
        layout("PLINK 2 without covariates",
               "#CHROM\tPOS\tID\tREF\tALT\tA1\tOBS_CT\tBETA\tSE\tT_STAT\tP\tERRCODE\n"
               "1\t1000\trs1\tA\tG\tG\t500\t0.1\t0.1\t1\t0.1\t.\n",
               "", {"1 1000 1"});
        layout("FinnGen",
               "#chrom\tpos\tref\talt\trsids\tnearest_genes\tpval\tmlogp\tbeta\tsebeta\taf_alt\taf_alt_cases\t"
               "af_alt_controls\n"
               "1\t13668\tG\tA\trs1\tOR4F5\t0.01\t2\t0.1\t0.1\t0.1\t0.1\t0.1\n"
               "6\t32658000\tC\tT\trs2\tHLA-DQB1\t0\t380.2\t1.2\t0.02\t0.3\t0.3\t0.3\n",
               "Columns read: chromosome #chrom, position pos, p-value pval, -log10 p-value mlogp where p is 0",
               {"1 13668 2", "6 32658000 380.2"});
        layout("R write.csv, quoted",
               "\"\",\"CHR\",\"BP\",\"P\"\n\"1\",\"chr1\",1000,0.01\n\"2\",\"chr2\",2000,NA\n\"3\",\"chr2\",3000,1e-4\n",
               plink, {"chr1 1000 2", "chr2 3000 4"});
        layout("GCTA fastGWA", "CHR\tSNP\tPOS\tA1\tA2\tN\tAF1\tBETA\tSE\tP\n1\trs1\t1000\tA\tG\t100\t0.1\t0.1\t0.1\t0.001\n",
               "", {"1 1000 3"});
        const QString refused = faultMessage(Fault::IncorrectColumns);
        layout("METAL without positions", "MarkerName\tAllele1\tAllele2\tWeight\tZscore\tP-value\tDirection\n"
                                          "rs1\ta\tg\t1000\t2.5\t0.01\t++\n", refused);
        layout("LDSC .sumstats", "SNP\tA1\tA2\tN\tZ\nrs1\tA\tG\t1000\t2.5\n", refused);
        layout("UK Biobank round 2", "variant\tminor_allele\tminor_AF\tlow_confidence_variant\tn_complete_samples\tAC\t"
                                     "ytx\tbeta\tse\ttstat\tpval\n1:15791:C:T\tT\t0.01\ttrue\t1000\t2\t1\t0.1\t0.1\t1\t0.5\n",
               "Columns read: chromosome and position variant, p-value pval" + kCompatible, {"1 15791 0.30103"});
        // Natural-log p-values are negative: refused at the first one.
        layout("older Pan-UKB, natural log", "chr\tpos\tref\talt\taf_meta\tbeta_meta\tse_meta\tpval_meta\n"
                                             "1\t100\tA\tG\t0.1\t0.2\t0.1\t-2.5\n",
               faultMessage(Fault::InvalidPValue));
    }
    void layouts()
    {
        QFETCH(QByteArray, file);
        const Reading r = readAll(file);
        QTEST(r.columns, "columns");
        QTEST(r.rows, "rows");
    }

    // The compatible reading starts where the first line's rules give up, and
    // its own rules are each needed.
    void compatibleRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QStringList>("rows");
        const auto rule = [](const char *name, const QByteArray &file, const QString &columns,
                             const QStringList &rows = {}) { QTest::newRow(name) << file << columns << rows; };
        rule("aligned without a header", "  1   100  0.5\n  2  2000  0.01\n",
             "Columns read: chromosome field 1, position field 2, p-value field 3" + kCompatible,
             {"1 100 0.30103", "2 2000 2"});
        rule("short aligned row", " CHR  BP  P\n  1  100\n", faultMessage(Fault::MissingColumns));
        rule("short aligned row, trailing blank", " CHR  BP  P\n  1  100 \n", faultMessage(Fault::MissingColumns));
        rule("a p-value column before a -log10 one", "CHR BP LOG10P P\n1 100 5 0.1\n1 200 300 0\n",
             "Columns read: chromosome CHR, position BP, p-value P, -log10 p-value LOG10P where p is 0" + kCompatible,
             {"1 100 1", "1 200 300"});
        rule("exact names before the first line's", "SNP_ID CHR BP PVAL P\nrs1 1 100 0.1 0.01\n",
             "Columns read: chromosome CHR, position BP, p-value P" + kCompatible, {"1 100 2"});
        rule("names without regard to case", "chrom,bp,p_value\n1,100,0.1\n",
             "Columns read: chromosome chrom, position bp, p-value p_value" + kCompatible, {"1 100 1"});
        rule("-log10 p of a zero p-value that is NA", "#chrom\tpos\tpval\tmlogp\n1\t100\t0\tNA\n1\t200\t0.1\t1\n",
             "Columns read: chromosome #chrom, position pos, p-value pval, -log10 p-value mlogp where p is 0",
             {"1 200 1"});
        rule("-log10 p that does not convert", "CHR BP LOG10P\n1 100 high\n", faultMessage(Fault::NonNumericPValue));
        rule("-log10 p that is infinite", "CHR BP LOG10P\n1 100 inf\n", faultMessage(Fault::InvalidPValue));
        rule("ADD where the first variant has it", "CHR POS TEST P\n1 100 DOM NA\n1 100 ADD 0.1\n"
             "1 200 DOM 0.01\n", "Columns read: chromosome CHR, position POS, p-value P, rows with TEST ADD", {"1 100 1"});
        rule("test matched exactly", "CHR\tPOS\ttest\tP\n1\t100\tA\t0.1\n1\t200\tB\t0.01\n", "",
             {"1 100 1", "1 200 2"});
        rule("all comments", "# one\n# two\n", faultMessage(Fault::TooFewColumns));
        rule("a comment of two fields first", "# tool\nCHR BP P\n1 100 0.1\n", plinkLine(), {"1 100 1"});
        rule("a comment without a delimiter first", "#tool\nCHR BP P\n1 100 0.1\n", plinkLine(), {"1 100 1"});
        rule("a header the first line's rules refuse stays refused", "CHR BP PV\n1 100 0.1\n",
             faultMessage(Fault::IncorrectColumns));
    }
    void compatibleRules() { layouts(); }

    // A line starting with '#' before the header is a comment unless its
    // first field names a column.
    void commentLines()
    {
        for (const char *comment : {"# Analysis: \"test\"", "#", "##fileformat=VCFv4.2", "#\tCHROM\tPOS", "#SNP CHR BP"})
            QVERIFY2(isCommentLine(comment), comment);
        for (const char *header : {"#CHROM\tPOS\tID", "#chrom pos", "#CHR,BP,P", "#\"CHR\",BP", "#POS CHR P",
                                   "CHR # x"})
            QVERIFY2(!isCommentLine(header), header);
    }

    // Skipped covariate rows leave the runs whole, and a chromosome read back
    // keeps only the additive test.
    void testRowsInBothLoads()
    {
        const QByteArray file = "#CHROM\tPOS\tID\tTEST\tP\n1\t100\ta\tADD\t0.1\n1\t100\ta\tAGE\t1e-9\n"
                                "1\t200\tb\tADD\t0.01\n2\t300\tc\tSEX\t1e-9\n2\t300\tc\tADD\t0.001\n"
                                "2\t400\td\tADD\t1e-4\n";
        QTemporaryDir dir;
        const QString path = writeFile(dir.filePath("data"), file);
        const GenomeWide g = loadGenomeWide(path);
        QCOMPARE(g.fault, Fault::None);
        QCOMPARE(g.table.tags, QStringList({"1", "2"}));
        QCOMPARE(g.scores, QList<double>({1, 2, 3, 4}));
        const ChromosomeRun run = loadRun(path, g.table.startOffset[1], "2", 2);
        QCOMPARE(run.fault, Fault::None);
        QCOMPARE(run.positions, QList<int>({300, 400}));
    }

    // The window writes the columns read before anything else of the load.
    void logLineFirst()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            const QByteArray file = " CHR  SNP   BP  P\n 1  rs1  100  0.1\n 1  rs2  200  0.01\n 2  rs3  300  1e-3\n";
            resetProgramState();
            answerFileDialog(writeFile(dir + "/plink.assoc", file));
            MyWidget w;
            QCOMPARE(logText(), "Tivrel 0.1 by Ruvetti\n\n" + plinkLine().toUtf8() + "\nGet GLOBAL\n");
            QCOMPARE(Value_list, QList<double>({1, 2, 3}));
        });
    }

private:
    static QString plinkLine() { return "Columns read: chromosome CHR, position BP, p-value P" + kCompatible; }
};

QTEST_MAIN(LayoutsTest)
#include "test_layouts.moc"
