#include "columns.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

using Names = std::initializer_list<const char *>;

// The names other tools give each column, in the order they are preferred:
// BOLT-LMM writes P_BOLT_LMM_INF before P_BOLT_LMM, the better p-value.
// Taken from the documented output headers of these tools (manual):
//   PLINK 1.9 .assoc, .qassoc, .assoc.linear/.logistic: CHR BP P
//     (cog-genomics.org/plink/1.9/formats)
//   PLINK 2 --glm: #CHROM POS P, or LOG10_P (cog-genomics.org/plink/2.0/formats)
//   REGENIE step 2: CHROM GENPOS LOG10P (rgcgithub.github.io/regenie/options)
//   SAIGE step 2: CHR POS p.value (saigegit.github.io/SAIGE-doc)
//   BOLT-LMM: CHR BP P_BOLT_LMM_INF P_BOLT_LMM, and P_LINREG with
//     --verboseStats (alkesgroup.broadinstitute.org/BOLT-LMM/BOLT-LMM_manual.html)
//   GCTA --mlma: Chr bp p; fastGWA: CHR POS P; --cojo-slct .jma.cojo: Chr bp p
//     (yanglab.westlake.edu.cn/software/gcta)
//   GEMMA -lmm: chr ps p_wald p_lrt p_score (GEMMA user manual, output files)
//   SNPTEST: chromosome position frequentist_add_pvalue
//     (mathgen.stats.ox.ac.uk/genetics_software/snptest/snptest.html)
//   EPACTS single-variant tests: #CHROM BEGIN END MARKER_ID PVALUE
//     (genome.sph.umich.edu/wiki/EPACTS)
//   RVTESTS: CHROM POS PVALUE (github.com/zhanxw/rvtests)
//   METAL with TRACKPOSITIONS: MarkerName Chromosome Position P-value
//     (genome.sph.umich.edu/wiki/METAL_Documentation)
//   GWAMA: rs_number chromosome position p-value (genomics.ut.ee, GWAMA)
//   MR-MEGA: MarkerName Chromosome Position P-value_association (genomics.ut.ee, MR-MEGA)
//   LDAK --linear: Chromosome Predictor Basepair Wald_P
//     (dougspeed.com/single-predictor-analysis)
//   FaST-LMM: Chr ChrPos PValue (fastlmm.github.io)
//   GAPIT: SNP Chromosome Position P.value (GAPIT user manual)
//   TASSEL 5 GLM/MLM: Marker Chr Pos p (TASSEL 5 user manual)
//   GMMAT glmm.score: SNP CHR POS PVAL (GMMAT user manual)
//   GENESIS assocTestSingle: variant.id chr pos Score.pval (GENESIS reference)
//   SUGEN: CHROM POS PVALUE (SUGEN documentation)
//   OSCA --linear: Chr SNP bp p (yanglab.westlake.edu.cn/software/osca)
//   BGENIE: chr rsid pos <trait>-log10p (jmarchini.org/bgenie-usage)
//   Hail linear_regression_rows export: locus alleles p_value (hail.is docs)
//   PheWeb: chrom pos pval (github.com/statgen/pheweb)
//   LocusZoom: #chrom pos neg_log_pvalue (my.locuszoom.org help)
//   GWAS Catalog GWAS-SSF: chromosome base_pair_location p_value
//     neg_log_10_p_value (github.com/EBISPOT/gwas-summary-statistics-standard)
//   FinnGen: #chrom pos pval mlogp (finngen.gitbook.io/documentation)
//   Pan-UKB: chr pos neglog10_pval_meta (pan.ukbb.broadinstitute.org/docs)
//   UK Biobank, Neale lab round 2: variant pval (nealelab.github.io/UKBB_ldsc)
//   Open Targets Genetics: chrom pos pval (genetics-docs.opentargets.org)
//   tensorQTL cis_nominal: variant_id (chr1_12345_A_G_b38) pval_nominal
//     (github.com/broadinstitute/tensorqtl)
//   GWAS-VCF: CHROM POS and FORMAT LP, read as VCF (the MRCIEU GWAS-VCF format, on GitHub)
// Names the rules find (containing "pos", "pval", "p-val", "chr"; -log10
// spellings) need no entry.
const Names kChromosomeNames = {"CHR", "CHROM", "#CHROM", "CHROMOSOME", "#CHR"};
const Names kPositionNames = {"POS", "BP", "BASE_PAIR_LOCATION", "POSITION", "PS", "BEGIN", "BASEPAIR"};
const Names kPValueNames = {"P",      "PVAL",          "P_VALUE",   "P.VALUE", "PVALUE", "P-VALUE",
                            "P_BOLT_LMM", "P_BOLT_LMM_INF", "P_WALD", "FREQUENTIST_ADD_PVALUE",
                            "WALD_P", "P_LRT",         "P_SCORE",   "P_LINREG"};
const Names kLog10Names = {"LOG10P", "MLOGP", "NEG_LOG10_P", "NEG_LOG_10_P_VALUE", "NEGLOG10_PVAL", "LOGP"};

// Columns that hold a variant as chromosome and position (1:12345,
// 1:12345:A:G, chr1:12345:A:G, 1_12345_A_G), for files without a position
// column: UK Biobank's variant, Hail's locus, METAL's MarkerName, tensorQTL's
// variant_id.
const Names kVariantNames = {"LOCUS", "VARIANT", "VARIANT_ID", "MARKERNAME", "MARKERID", "MARKER",
                             "SNPID",  "SNP_ID",  "ID",         "SNP",        "CPTID"};

// Whole names of a chromosome column, once quotes and '#' are stripped.
const Names kChromosomeWords = {"chr", "chrom", "chromosome"};

// PLINK and REGENIE write one row per test of a variant under this name,
// the additive test first. Matched exactly: a "test" column of a user's own
// file may mean anything.
const QLatin1String kTestName("TEST");

// Index (from 1) of the first name that passes the test, or 0.
template <typename Test>
int findColumn(const QStringList &names, Test test)
{
    const auto it = std::find_if(names.begin(), names.end(), test);
    return it == names.end() ? 0 : int(it - names.begin()) + 1;
}

bool containsAny(const QString &name, Names parts)
{
    return std::any_of(parts.begin(), parts.end(), [&](const char *part) {
        return name.contains(QLatin1String(part), Qt::CaseInsensitive);
    });
}

bool equalsAny(const QString &name, Names candidates)
{
    return std::any_of(candidates.begin(), candidates.end(), [&](const char *candidate) {
        return name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0;
    });
}

// The first name of the table, in the table's order, that the header holds.
int findByName(const QStringList &names, Names table)
{
    for (const char *candidate : table) {
        if (const int column = findColumn(names, [&](const QString &n) { return equalsAny(n, {candidate}); }))
            return column;
    }
    return 0;
}

// The first line's rules.
bool isPositionName(const QString &n)
{
    return containsAny(n, {"pos"});
}

bool isPValueName(const QString &n)
{
    return containsAny(n, {"pval", "p-val"}) || n == QLatin1String("P") || n == QLatin1String("p");
}

bool isChromosomeName(const QString &n)
{
    return containsAny(n, {"chr", "some", "id"});
}

// A name that is a chromosome's, whole: "chr", "#CHROM", "\"Chromosome\"".
bool isChromosomeWord(const QString &n)
{
    QString word = n;
    if (word.size() >= 2 && word.startsWith(QLatin1Char('"')) && word.endsWith(QLatin1Char('"')))
        word = word.mid(1, word.size() - 2);
    if (word.startsWith(QLatin1Char('#')))
        word.remove(0, 1);
    return equalsAny(word, kChromosomeWords);
}

// The name in lower case with only its letters and digits: "-log10(P)"
// gives "log10p", "NEG_LOG_10_P_VALUE" "neglog10pvalue".
QString squeezed(const QString &n)
{
    QString s;
    for (const QChar c : n.toLower()) {
        if (c.isLetterOrNumber())
            s += c;
    }
    return s;
}

// Whether a p-value column's name says it holds -log10 p: -log10, log10,
// neglog, mlog, neg_log, with any separators and brackets.
bool saysLog10(const QString &n)
{
    const QString s = squeezed(n);
    return equalsAny(n, kLog10Names) || s.contains(QLatin1String("log10")) || s.contains(QLatin1String("neglog"))
        || s.contains(QLatin1String("mlog")) || n.toLower().startsWith(QLatin1String("-log"));
}

// Whether a name says natural logarithm: "ln", "lnP", "ln(p)", "log_e", "loge".
bool saysNaturalLog(const QString &n)
{
    static const QRegularExpression naturalLog(QStringLiteral("(^|[^a-z])(ln(p|$|[^a-z])|log[^a-z0-9]?e($|[^a-z])|natural)"));
    return naturalLog.match(n.toLower()).hasMatch();
}

// A column of -log10 p beside the p-value: a name that says -log10 and p,
// so that a Bayes factor's log10bf is not taken.
bool isLog10PName(const QString &n)
{
    static const QRegularExpression log10P(QStringLiteral("(log10|neglog|mlog)(10)?p"));
    return saysLog10(n) && log10P.match(squeezed(n)).hasMatch();
}

// The first name of the table in the header, else the first name that
// passes the rule.
int findByNameOr(const QStringList &names, Names table, bool (*rule)(const QString &))
{
    const int column = findByName(names, table);
    return column != 0 ? column : findColumn(names, rule);
}

// The readings beyond the three columns, once the p-value column is known.
Fault findFurtherColumns(const QStringList &names, Layout &l)
{
    const QString &p = names[l.pColumn - 1];
    if (saysNaturalLog(p))
        return Fault::NaturalLogPValue;
    l.pIsLog10 = saysLog10(p);
    // Beside a p-value column, by the parts of names that files have always
    // been read by: the program's own saved "-log10(P)" is not one, so its
    // files read back as they always have.
    l.log10Column = l.pIsLog10 ? 0 : findByNameOr(names, kLog10Names, [](const QString &n) {
        return containsAny(n, {"neglog10", "mlog", "log10p"});
    });
    l.testColumn = findColumn(names, [](const QString &n) { return n == kTestName; });
    return Fault::None;
}

} // namespace

Fault findColumns(const QStringList &names, Layout &l)
{
    // All three searches run, in this order.
    l.posColumn = findColumn(names, isPositionName);
    l.pColumn = findColumn(names, isPValueName);
    l.chrColumn = findColumn(names, isChromosomeName);
    if (l.posColumn == 0 || l.pColumn == 0 || l.chrColumn == 0)
        return Fault::IncorrectColumns;
    // "variant.id chr pos": the rule took an identifier before the field
    // that names the chromosome.
    const int named = findColumn(names, isChromosomeWord);
    l.chromosomeByName = named != 0 && named != l.chrColumn;
    if (named != 0)
        l.chrColumn = named;
    return findFurtherColumns(names, l);
}

Fault findCompatibleColumns(const QStringList &names, Layout &l, QList<int> &variantColumns)
{
    // A name holding "chr" before one that only holds "id".
    l.chrColumn = findByName(names, kChromosomeNames);
    if (l.chrColumn == 0)
        l.chrColumn = findColumn(names, [](const QString &n) { return containsAny(n, {"chr"}); });
    if (l.chrColumn == 0)
        l.chrColumn = findColumn(names, isChromosomeName);
    l.posColumn = findByNameOr(names, kPositionNames, isPositionName);
    l.pColumn = findByNameOr(names, kPValueNames, isPValueName);
    if (l.pColumn == 0) // REGENIE writes only -log10 p
        l.pColumn = findByNameOr(names, kLog10Names, isLog10PName);
    if (l.posColumn == 0) {
        for (const char *name : kVariantNames) {
            if (const int column = findByName(names, {name}))
                variantColumns << column;
        }
        if (!variantColumns.isEmpty())
            l.chrColumn = l.posColumn = variantColumns.first();
    }
    if (l.chrColumn == 0 || l.posColumn == 0 || l.pColumn == 0)
        return Fault::IncorrectColumns;
    return findFurtherColumns(names, l);
}

bool isColumnName(const QString &name)
{
    for (const Names &table : {kChromosomeNames, kPositionNames, kPValueNames, kLog10Names}) {
        if (equalsAny(name, table))
            return true;
    }
    return false;
}

QString describeColumns(const QStringList &names, const Layout &l)
{
    // Row names have no header field: the names start at the second field.
    const int first = l.rowNames ? 2 : 1;
    const auto name = [&](int column) {
        return names.isEmpty() ? QStringLiteral("field %1").arg(column) : names.value(column - first);
    };
    QStringList parts;
    if (l.variant)
        parts << QStringLiteral("chromosome and position ") + name(l.chrColumn);
    else
        parts << QStringLiteral("chromosome ") + name(l.chrColumn) << QStringLiteral("position ") + name(l.posColumn);
    parts << (l.pIsLog10 ? QStringLiteral("-log10 p-value ") : QStringLiteral("p-value ")) + name(l.pColumn);
    if (l.log10Column != 0)
        parts << QStringLiteral("-log10 p-value ") + name(l.log10Column) + QStringLiteral(" where p is 0");
    if (l.testColumn != 0)
        parts << QStringLiteral("rows with ") + name(l.testColumn) + QLatin1Char(' ') + QString::fromUtf8(l.test);
    if (l.rowNames)
        parts << QStringLiteral("row names in field 1");
    return QStringLiteral("Columns read: ") + parts.join(QStringLiteral(", "));
}
