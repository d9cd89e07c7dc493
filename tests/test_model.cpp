// The loads against a literal model of the plain reading (QTextStream,
// QString::split, toInt, toDouble; runs, x and a label's first block as the
// rules state them) on seeded random files of its dialect: delimiters,
// header or none, names that match and that do not, NA, 0 and bad p-values,
// short rows, empty lines, CR, returning labels, TEST and -log10 columns.
// Both give the same dump, except where the model applies one of the
// program's named fixes ("Fix:"); the compatible reading may read only what
// the model refuses for its columns. TIVREL_RANDOM_FILES=N files (2000) from
// TIVREL_RANDOM_SEED=S (1): file i uses seed S + i, printed on a failure.
#include "data/loads.h"
#include "fuzz/invariants.h"
#include "support/testsupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cfloat>
#include <cmath>

namespace {

struct ModelLayout {
    QString delimiter, testKept;
    int chr = 1, pos = 2, p = 3, log10 = 0, test = 0; // Fix: -log10 p where p is 0; TEST
    bool pIsLog10 = false; // Fix: a p-value column named as -log10 p
};

// The generator's names that say -log10 p.
const QStringList kLog10Names = {"mlogp", "LOG10P", "log10_pval", "neg_log_pval", "-log10(p)"};

// Fix: a decimal number beyond a double's range, read from its text.
std::optional<double> textLog10(const QString &s)
{
    const QStringList parts = s.trimmed().toLower().split('e');
    if (parts.size() != 2 || parts[0].toDouble() <= 0)
        return std::nullopt;
    return std::log10(parts[0].toDouble()) + parts[1].toInt();
}

int firstMatch(const QStringList &names, const std::function<bool(const QString &)> &test)
{
    const auto it = std::find_if(names.begin(), names.end(), test);
    return it == names.end() ? 0 : int(it - names.begin()) + 1;
}

// Steps 1 to 6: the layout, `in` left at the first data line; a fault's message.
QString modelLayout(QTextStream &in, ModelLayout &l)
{
    if (in.atEnd())
        return {};
    const QString first = in.readLine();
    for (const char *d : {"\t", " ", ","})
        l.delimiter = l.delimiter.isEmpty() && first.contains(d) ? d : l.delimiter;
    const QStringList names = first.split(l.delimiter);
    if (l.delimiter.isEmpty() || names.size() < 3)
        return l.delimiter.isEmpty() ? "Unknown data file delimiter!" : "Data file contains < 3 columns!";
    const bool header = std::any_of(names.begin(), names.end(), [](const QString &f) {
        bool isInt = false, isDouble = false;
        f.toInt(&isInt, 10), f.toDouble(&isDouble);
        return !(isInt || isDouble || (textLog10(f) && *textLog10(f) < 0)); // Fix: tiny p
    });
    in.seek(0);
    if (!header)
        return {};
    in.readLine();
    const auto has = [](const QString &n, const char *part) { return n.contains(part, Qt::CaseInsensitive); };
    l.pos = firstMatch(names, [&](const QString &n) { return has(n, "pos"); });
    l.p = firstMatch(names, [&](const QString &n) { return has(n, "pval") || has(n, "p-val") || n == "P" || n == "p"; });
    l.chr = firstMatch(names, [&](const QString &n) { return has(n, "chr") || has(n, "some") || has(n, "id"); });
    if (!l.pos || !l.p || !l.chr)
        return "Incorrect data columns!";
    const QStringList chromosome = {"chr", "\"chr\"", "#chrom", "chromosome"}; // Fix: named as a chromosome
    if (const int named = firstMatch(names, [&](const QString &n) { return chromosome.contains(n.toLower()); }))
        l.chr = named;
    if (names[l.p - 1] == "ln_pval") // Fix: natural logarithms refused
        return "Natural-log p-value column not supported!";
    l.pIsLog10 = kLog10Names.contains(names[l.p - 1]);
    if (!l.pIsLog10) // exact names first, then the parts neglog10, mlog, log10p
        l.log10 = firstMatch(names, [](const QString &n) { return n == "LOG10P"; });
    if (!l.pIsLog10 && !l.log10)
        l.log10 = firstMatch(names, [&](const QString &n) { return has(n, "neglog10") || has(n, "mlog") || has(n, "log10p"); });
    l.test = firstMatch(names, [](const QString &n) { return n == "TEST"; });
    const qint64 data = in.pos();
    QList<QStringList> rows;
    while (!in.atEnd() && rows.size() < 1000)
        if (const QString line = in.readLine(); !line.isEmpty())
            rows << line.split(l.delimiter);
    in.seek(data);
    const QStringList row = rows.value(0); // Fix: a header one field short: a row name first
    if (row.size() == names.size() + 1 && !row.last().isEmpty())
        for (int *c : {&l.chr, &l.pos, &l.p, &l.log10, &l.test})
            *c += *c != 0;
    QStringList tests; // Fix: of the tests of the first variant, ADD, else its first row's
    for (qsizetype i = 0; i < rows.size() && rows[i].value(l.chr - 1) == row.value(l.chr - 1)
                          && rows[i].value(l.pos - 1) == row.value(l.pos - 1); ++i)
        if (l.test && rows[i].size() >= l.test)
            tests << rows[i][l.test - 1];
    l.testKept = tests.contains("ADD") ? "ADD" : tests.value(0);
    l.test = tests.isEmpty() ? 0 : l.test;
    return {};
}

struct ModelFile { // the stream at the first data line, the layout, its fault
    QFile file;
    QTextStream in{&file};
    ModelLayout l;
    QString fault = (file.open(QIODevice::ReadOnly | QIODevice::Text), modelLayout(in, l));
    explicit ModelFile(const QString &path) : file(path) {}
};

struct ModelRow {
    QString fault, label;
    bool skip = false;
    int position = 0;
    double score = 0;
};

// Step 7: the per-row tests in order.
ModelRow modelRow(const QString &line, const ModelLayout &l)
{
    ModelRow r;
    const auto fail = [&r](const char *fault) { r.fault = fault; return r; };
    const QStringList f = line.split(l.delimiter);
    if (f.size() < std::max({l.chr, l.pos, l.p})) // Fix: short rows
        return fail("Data line with missing columns detected!");
    r.label = f[l.chr - 1];
    const QString p = f[l.p - 1];
    r.skip = p == "NA" || p.isEmpty() || p == "."; // Fix: empty and "." are missing
    r.skip = r.skip || (l.test && f.size() >= l.test && f[l.test - 1] != l.testKept); // Fix: another test
    bool ok = false;
    const double value = p.toDouble(&ok);
    if (r.skip) {
        return r;
    } else if (l.pIsLog10) { // Fix: -log10 p is the score
        if (!ok || !std::isfinite(value) || value < 0)
            return fail(ok ? "Invalid p-value detected!" : "Non-numeric p-value detected!");
        r.score = value;
    } else if (!ok) { // Fix: a positive number below a double's range
        if (!textLog10(p) || *textLog10(p) >= 0)
            return fail("Non-numeric p-value detected!");
        r.score = -*textLog10(p);
    } else if (value == 0) { // Fix: -log10 p where p is 0
        r.score = f.value(l.log10 - 1).toDouble(&ok);
        r.skip = !(l.log10 && f.size() >= l.log10 && ok && std::isfinite(r.score) && r.score >= 0);
    } else if (!(value > 0) || !std::isfinite(value)) { // Fix: nan, inf, negative
        return fail("Invalid p-value detected!");
    } else {
        r.score = value < DBL_MIN ? -*textLog10(p) : -std::log10(value); // Fix: subnormal
    }
    r.position = f[l.pos - 1].toInt(&ok, 10);
    return ok || r.skip ? r : fail("Non-integer position value detected!");
}

QString pointsText(const QList<int> &positions, const QList<double> &scores)
{
    QStringList points;
    for (qsizetype i = 0; i < positions.size(); ++i)
        points << QString::number(positions[i]) + ' ' + QString::number(scores[i], 'g', 12);
    return points.join(", ");
}

// The chromosome load of a label: its first block.
QString modelChromosome(const QString &path, const QString &selected)
{
    ModelFile m(path);
    QString previous = "\n"; // Fix: no label yet, not the empty label
    QList<int> positions;
    QList<double> scores;
    for (bool going = true; going && !m.in.atEnd();) {
        const QString line = m.in.readLine();
        if (line.isEmpty())
            continue;
        const ModelRow r = modelRow(line, m.l);
        if (r.fault == "Data line with missing columns detected!")
            return r.fault;
        going = previous == selected ? r.label == selected : true;
        previous = r.label;
        if ((r.skip && r.fault.isEmpty()) || !going || r.label != selected)
            continue;
        if (!r.fault.isEmpty())
            return r.fault;
        positions << r.position, scores << r.score;
    }
    return positions.size() < 2 ? "Illegal data range in getManhattan!" : pointsText(positions, scores);
}

// The genome-wide load's log, points and runs, and each label's first block.
QString dump(const QStringList &log, const QList<int> &x = {}, const QList<double> &scores = {},
             const ChromosomeTable &t = {}, const std::function<QString(const QString &)> &chromosome = {})
{
    QString text = log.join('\n') + '\n' + pointsText(x, scores) + '\n';
    for (qsizetype k = 0; k < t.tags.size(); ++k)
        text += QString("run %1 red %2 index %3-%4 x %5-%6: ").arg(t.tags[k]).arg(t.colorValue[k]).arg(t.startIndex[k])
                    .arg(t.endIndex[k]).arg(t.startValue[k]).arg(t.endValue[k]) + chromosome(t.tags[k]) + '\n';
    return text;
}

QString modelDump(const QString &path)
{
    ModelFile m(path);
    QStringList labels, log = {m.fault};
    QList<int> q, x;
    QList<double> scores;
    while (log[0].isEmpty() && !m.in.atEnd()) {
        if (const QString line = m.in.readLine(); !line.isEmpty()) {
            const ModelRow r = modelRow(line, m.l);
            log[0] = r.fault;
            if (!r.skip && r.fault.isEmpty())
                labels << r.label, q << r.position / 100, scores << r.score;
        }
    }
    if (log[0].isEmpty() && scores.size() < 2)
        log[0] = "Illegal data range in getManhattan0!";
    if (!log[0].isEmpty())
        return dump(log);
    ChromosomeTable t;
    for (int i = 0, offset = 0, base = 0; i < q.size(); ++i) {
        if (i == 0 || labels[i] != labels[i - 1]) {
            offset = i ? x[i - 1] : 0, base = q[i];
            t.startIndex << i, t.tags << labels[i], t.colorValue << (t.tags.size() % 2 ? 255 : 50);
            if (log[0].isEmpty() && t.tags.indexOf(labels[i]) < t.tags.size() - 1) // Fix: told once
                log[0] = QString("Data file is not sorted by chromosome (\"%1\" comes back after \"%2\"): each run of "
                                 "a chromosome is drawn on its own").arg(labels[i], labels[i - 1]);
        }
        x << offset + 1 + (q[i] - base);
    }
    for (qsizetype k = 0; k < t.tags.size(); ++k) {
        t.endIndex << (k + 1 < t.tags.size() ? t.startIndex[k + 1] - 1 : int(q.size()) - 1);
        t.startValue << x[t.startIndex[k]], t.endValue << x[t.endIndex[k]];
    }
    return dump(log[0].isEmpty() ? QStringList() : log, x, scores, t,
                [&](const QString &label) { return modelChromosome(path, label); });
}

// Where the program and the model part on one file (empty: nowhere).
QString difference(const QString &path)
{
    const GenomeWide g = loadGenomeWide(path);
    QStringList log = genomeWideLog(g);
    const bool compatible = !log.isEmpty() && log[0].endsWith("(compatible reading)");
    if (!log.isEmpty() && log[0].startsWith("Columns read: "))
        log.removeFirst();
    const QString model = modelDump(path);
    if (compatible)
        return QStringList{"Incorrect data columns!", "Data file contains < 3 columns!",
                           "Natural-log p-value column not supported!"}.contains(model.section('\n', 0, 0))
                   ? QString() : "compatible reading of a file the plain reading takes";
    const QString program = g.fault != Fault::None ? dump(log) : dump(log, g.x, g.scores, g.table, [&](const QString &l) {
        const ChromosomeRun run = loadFirstBlock(path, l);
        return run.fault != Fault::None ? faultMessage(run.fault) : pointsText(run.positions, run.scores);
    });
    if (program != model)
        return "program:\n" + program + "model:\n" + model;
    return g.fault == Fault::None ? brokenLoadRule(g, path) : QString();
}

QByteArray randomFile(QRandomGenerator &rng)
{
    const auto pick = [&rng](const QStringList &from) { return from[int(rng.bounded(int(from.size())))]; };
    // Half the files hold nothing that ends a load; the others now and then.
    const int badRate = rng.bounded(2) ? 0 : 10 + int(rng.bounded(300));
    const auto bad = [&]() { return badRate && rng.bounded(badRate) == 0; };
    const QStringList chr = {"chr", "CHR", "Chromosome", "#chrom", "\"chr\"", "SNP_ID", "rsid", "variant.id", "awesome"};
    const QStringList pos = {"pos", "POS", "Position", "bp_pos", "BP"};
    const QStringList p = {"P", "p", "pval", "PVAL", "P-value", "pvalue", "P.value", "log10_pval", "neg_log_pval", "p",
                           "P", "pval", "ln_pval"};
    const QString d = pick({"\t", " ", ","});
    const bool header = rng.bounded(5) != 0, rowNames = rng.bounded(12) == 0;
    QStringList names = {pick(chr), pick(pos), pick(p)};
    for (int n = int(rng.bounded(3)); n > 0; --n)
        names.insert(int(rng.bounded(int(names.size()) + 1)),
                     pick({"TEST", "mlogp", "LOG10P", "beta", "se", "id2", "N", "A1", "-log10(p)"}));
    QStringList written = names;
    if (d == "," && rng.bounded(10) == 0) // "p value,chr,pos" is split at its space
        written.replaceInStrings(QRegularExpression("^[Pp]$"), "p value");
    QString text = header ? written.join(d) + "\n" : QString();
    const QStringList labels = rng.bounded(3) ? QStringList{"1", "2", "3"} : QStringList{"1", "X", "chr1", "", "2"};
    QString label = pick(labels);
    int position = int(rng.bounded(3000000));
    for (int rows = int(rng.bounded(30)); rows > 0; --rows) {
        label = rng.bounded(5) ? label : pick(labels);
        position += rng.bounded(4) ? int(rng.bounded(20000)) : 0;
        for (const QString &test : rng.bounded(2) ? QStringList{"AGE", "ADD"} : QStringList{pick({"ADD", "DOM"})}) {
            QStringList f = rowNames ? QStringList{"r" + QString::number(rows)} : QStringList();
            for (const QString &name : header ? names : QStringList{"CHR", "POS", "P"}) {
                f << (chr.contains(name) ? label
                      : pos.contains(name) ? (bad() ? pick({"1.5", "abc", "", "3000000000"}) : QString::number(position))
                      : p.contains(name)   ? (bad() ? pick({"na", "nan", "inf", "-0.1", "NA ", "1e400", "abc"})
                                                    : pick({"0.5", "1e-8", "3.2E-8", "0.01", ".5", "1", "0", "0.0", "NA",
                                                            "", ".", "-0", " 0.2", "1e-400", "4.9e-324", "1.5"}))
                      : name == "TEST"     ? test
                      : kLog10Names.contains(name) ? (bad() ? pick({"inf", "-1", "abc"}) : pick({"5", "0.3", "NA", "."}))
                                                   : QString::number(rng.bounded(100)));
            }
            if (bad())
                f.removeLast();
            if (rng.bounded(30) == 0)
                f << "extra";
            text += f.join(d) + (rng.bounded(15) ? "" : "\r") + (rng.bounded(20) ? "\n" : "\n\n");
        }
    }
    return (rng.bounded(5) ? text : text.chopped(1)).toUtf8();
}

} // namespace

class ModelTest : public QObject
{
    Q_OBJECT
private slots:
    void randomFiles()
    {
        const auto env = [](const char *name, int fallback) {
            return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
        };
        const quint32 seed = quint32(env("TIVREL_RANDOM_SEED", 1));
        QTemporaryDir dir;
        for (quint32 i = 0; i < quint32(env("TIVREL_RANDOM_FILES", 2000)); ++i) {
            QRandomGenerator rng(seed + i);
            const QByteArray bytes = randomFile(rng);
            const QString why = difference(writeFile(dir.filePath("data.txt"), bytes));
            QVERIFY2(why.isEmpty(), qPrintable(QString("TIVREL_RANDOM_SEED=%1 TIVREL_RANDOM_FILES=1: %2\nfile:\n%3")
                                                   .arg(seed + i).arg(why, QString::fromUtf8(bytes))));
        }
    }
};

QTEST_APPLESS_MAIN(ModelTest)
#include "test_model.moc"
