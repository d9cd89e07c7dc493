#include "columns.h"

#include <algorithm>

namespace {

using Names = std::initializer_list<const char *>;

// The names other tools give each column, in the order they are preferred:
// BOLT-LMM writes P_BOLT_LMM_INF before P_BOLT_LMM, the better p-value.
const Names kChromosomeNames = {"CHR", "CHROM", "#CHROM", "CHROMOSOME", "#CHR"};
const Names kPositionNames = {"POS", "BP", "BASE_PAIR_LOCATION", "POSITION", "PS"};
const Names kPValueNames = {"P",          "PVAL",          "P_VALUE", "P.VALUE", "PVALUE", "P-VALUE",
                            "P_BOLT_LMM", "P_BOLT_LMM_INF", "P_WALD",  "FREQUENTIST_ADD_PVALUE"};
const Names kLog10Names = {"LOG10P", "MLOGP", "NEG_LOG10_P", "NEG_LOG_10_P_VALUE", "NEGLOG10_PVAL", "LOGP"};

// Parts of a name that say its column holds -log10 p.
const Names kLog10Parts = {"neglog10", "mlog", "log10p"};

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

bool isLog10Name(const QString &n)
{
    return equalsAny(n, kLog10Names) || containsAny(n, kLog10Parts);
}

bool hasLog10Part(const QString &n)
{
    return containsAny(n, kLog10Parts);
}

// The first name of the table in the header, else the first name that
// passes the rule.
int findByNameOr(const QStringList &names, Names table, bool (*rule)(const QString &))
{
    const int column = findByName(names, table);
    return column != 0 ? column : findColumn(names, rule);
}

// The readings beyond the three columns, once the p-value column is known.
void findFurtherColumns(const QStringList &names, Layout &l)
{
    l.pIsLog10 = isLog10Name(names[l.pColumn - 1]);
    l.log10Column = l.pIsLog10 ? 0 : findByNameOr(names, kLog10Names, hasLog10Part);
    l.testColumn = findColumn(names, [](const QString &n) { return n == kTestName; });
}

} // namespace

bool findColumns(const QStringList &names, Layout &l)
{
    // All three searches run, in this order.
    l.posColumn = findColumn(names, isPositionName);
    l.pColumn = findColumn(names, isPValueName);
    l.chrColumn = findColumn(names, isChromosomeName);
    if (l.posColumn == 0 || l.pColumn == 0 || l.chrColumn == 0)
        return false;
    findFurtherColumns(names, l);
    return true;
}

bool findCompatibleColumns(const QStringList &names, Layout &l)
{
    l.chrColumn = findByNameOr(names, kChromosomeNames, isChromosomeName);
    l.posColumn = findByNameOr(names, kPositionNames, isPositionName);
    l.pColumn = findByNameOr(names, kPValueNames, isPValueName);
    if (l.pColumn == 0) // REGENIE writes only -log10 p
        l.pColumn = findByNameOr(names, kLog10Names, hasLog10Part);
    if (l.chrColumn == 0 || l.posColumn == 0 || l.pColumn == 0)
        return false;
    findFurtherColumns(names, l);
    return true;
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
    const auto name = [&](int column) {
        return names.isEmpty() ? QStringLiteral("field %1").arg(column) : names[column - 1];
    };
    QStringList parts = {QStringLiteral("chromosome ") + name(l.chrColumn),
                         QStringLiteral("position ") + name(l.posColumn),
                         (l.pIsLog10 ? QStringLiteral("-log10 p-value ") : QStringLiteral("p-value ")) + name(l.pColumn)};
    if (l.log10Column != 0)
        parts << QStringLiteral("-log10 p-value ") + name(l.log10Column) + QStringLiteral(" where p is 0");
    if (l.testColumn != 0)
        parts << QStringLiteral("rows with ") + name(l.testColumn) + QLatin1Char(' ') + QString::fromUtf8(l.test);
    return QStringLiteral("Columns read: ") + parts.join(QStringLiteral(", "));
}
