#include "reader.h"

#include "columns.h"
#include "linereader.h"
#include "numbers.h"
#include "vcf.h"
#include "vectorstate.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

QString faultMessage(Fault fault)
{
    switch (fault) {
    case Fault::None:
        break;
    case Fault::CannotOpen:
        return QStringLiteral("Cannot open data file!");
    case Fault::UnknownDelimiter:
        return QStringLiteral("Unknown data file delimiter!");
    case Fault::TooFewColumns:
        return QStringLiteral("Data file contains < 3 columns!");
    case Fault::IncorrectColumns:
        return QStringLiteral("Incorrect data columns!");
    case Fault::NonNumericPValue:
        return QStringLiteral("Non-numeric p-value detected!");
    case Fault::NonIntegerPosition:
        return QStringLiteral("Non-integer position value detected!");
    case Fault::MissingColumns:
        return QStringLiteral("Data line with missing columns detected!");
    case Fault::InvalidPValue:
        return QStringLiteral("Invalid p-value detected!");
    case Fault::TooFewRowsGenomeWide:
        return QStringLiteral("Illegal data range in getManhattan0!");
    case Fault::TooFewRowsChromosome:
        return QStringLiteral("Illegal data range in getManhattan!");
    case Fault::GenomeWideOverflow:
        return QStringLiteral("Genome-wide position out of range detected!");
    case Fault::DamagedCompressed:
        return QStringLiteral("Compressed data file is damaged or cut short!");
    case Fault::NaturalLogPValue:
        return QStringLiteral("Natural-log p-value column not supported!");
    case Fault::VcfWithoutLp:
        return QStringLiteral("VCF file without LP (-log10 p-value) field!");
    case Fault::BadVcfRecord:
        return QStringLiteral("Unreadable VCF record detected!");
    }
    return QString();
}


std::optional<char> chooseDelimiter(QByteArrayView firstLine)
{
    for (const char candidate : {'\t', ' ', ','}) {
        if (firstLine.contains(candidate))
            return candidate;
    }
    return std::nullopt;
}

namespace {

// A positive number too small for a double, such as 1e-400: a real, very
// strong p-value, which Qt refuses. Read from its text.
bool isTinyPositive(const std::optional<DecimalMagnitude> &magnitude)
{
    return magnitude && !magnitude->negative && magnitude->log10 < 0;
}

} // namespace

bool isNumericField(QByteArrayView field)
{
    // The rows' own rules: Qt's integer or double conversion (a NUL refused),
    // or a p-value too small for a double, which a file sorted by p-value
    // puts on its first line. Anything else Qt refuses is text.
    return qtToInt32(field) || qtToDouble(field) || isTinyPositive(decimalMagnitude(field));
}

namespace {

QStringList namesOf(const QList<QByteArrayView> &fields)
{
    QStringList names;
    for (const QByteArrayView field : fields)
        names << QString::fromUtf8(field);
    return names;
}

// Splits the first line as the layout says and tests it for a header; a
// header's names go to `find`. Too few fields is a fault, as is a header
// whose columns `find` does not find.
template <typename Find>
LayoutResult settleColumns(QByteArrayView line, LayoutResult result, Find find)
{
    Layout &l = result.layout;
    const QList<QByteArrayView> fields = splitFields(line, l);
    l.header = !std::all_of(fields.begin(), fields.end(), isNumericField);
    if (l.header)
        result.names = namesOf(fields);
    result.fault = l.header ? find(result) : Fault::None;
    // A variant column may stand for two.
    if (fields.size() < 3 && !(fields.size() == 2 && result.fault == Fault::None && !result.variantColumns.isEmpty())) {
        result.fault = Fault::TooFewColumns;
        l.header = false;
    }
    return result;
}

} // namespace

LayoutResult detectLayout(QByteArrayView firstLine)
{
    LayoutResult result;
    const auto delimiter = chooseDelimiter(firstLine);
    if (!delimiter) {
        result.fault = Fault::UnknownDelimiter;
        return result;
    }
    result.layout.delimiter = *delimiter;
    return settleColumns(firstLine, result, [](LayoutResult &r) { return findColumns(r.names, r.layout); });
}

LayoutResult detectCompatibleLayout(QByteArrayView headerLine)
{
    LayoutResult result;
    Layout &l = result.layout;
    // PLINK 1.9 aligns its columns with runs of spaces, starting with one.
    l.blankRuns = !headerLine.contains('\t') && (headerLine.startsWith(' ') || headerLine.contains("  "));
    l.unquote = true;
    if (!l.blankRuns) {
        const auto delimiter = chooseDelimiter(headerLine);
        if (!delimiter) {
            result.fault = Fault::UnknownDelimiter;
            return result;
        }
        l.delimiter = *delimiter;
    }
    return settleColumns(headerLine, result, [](LayoutResult &r) {
        return findCompatibleColumns(r.names, r.layout, r.variantColumns);
    });
}

namespace {

bool isComment(QByteArrayView line)
{
    if (!line.startsWith('#'))
        return false;
    qsizetype end = 0;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != ',')
        ++end;
    const QString first = QString::fromUtf8(unquoted(line.first(end)));
    return !isColumnName(first) && !isColumnName(QString::fromUtf8(unquoted(line.sliced(1, end - 1))));
}

} // namespace

bool isCommentLine(const QString &line)
{
    return isComment(QByteArrayView(line.toUtf8()));
}

namespace {

enum Role { Chromosome, Position, PValue, Log10P, Test, kRoles };

// The fields of a row that the layout's columns name; those the row does
// not reach are empty.
struct RowFields {
    QByteArrayView field[kRoles];
    int count = 0; // fields gone through: fewer than the last column in use where the row ends first
    QByteArrayView operator[](Role role) const { return field[role]; }
};

template <bool blankRuns, bool quoted>
Q_ALWAYS_INLINE void cutAs(QByteArrayView line, const Layout &l, RowFields &f)
{
    const int columns[kRoles] = {l.chrColumn, l.posColumn, l.pColumn, l.log10Column, l.testColumn};
    const int lastColumn = std::max(std::max(std::max(columns[0], columns[1]), std::max(columns[2], columns[3])),
                                    columns[4]);
    const bool further = l.log10Column != 0 || l.testColumn != 0;
    // A wide file's columns of no role are passed over in blocks (not worth
    // its cost for a few columns).
    const bool wide = !blankRuns && !quoted && lastColumn >= 8;
    FieldCursor<blankRuns, quoted> cursor(line, l.delimiter);
    int column = 0;
    do {
        if (wide) {
            int wanted = lastColumn; // the next column that plays a role
            for (const int c : columns)
                wanted = c > column && c < wanted ? c : wanted;
            column += cursor.skip(wanted - column - 1);
        }
        const QByteArrayView text = cursor.next();
        ++column;
        // Written out: a loop over the roles is not unrolled.
        f.field[Chromosome] = column == columns[Chromosome] ? text : f.field[Chromosome];
        f.field[Position] = column == columns[Position] ? text : f.field[Position];
        f.field[PValue] = column == columns[PValue] ? text : f.field[PValue];
        if (further) {
            f.field[Log10P] = column == columns[Log10P] ? text : f.field[Log10P];
            f.field[Test] = column == columns[Test] ? text : f.field[Test];
        }
    } while (column != lastColumn && !cursor.atEnd());
    f.count = column;
}

// Cuts the layout's columns out of a row.
Q_ALWAYS_INLINE void cut(QByteArrayView line, const Layout &l, RowFields &f)
{
    if (l.unquote) // the compatible reading, its own copies
        l.blankRuns ? cutAs<true, true>(line, l, f) : cutAs<false, true>(line, l, f);
    else
        l.blankRuns ? cutAs<true, false>(line, l, f) : cutAs<false, false>(line, l, f);
}

// Whether the row has its chromosome, position and p-value fields.
bool hasMainFields(const RowFields &f, const Layout &l)
{
    return f.count >= std::max(std::max(l.chrColumn, l.posColumn), l.pColumn);
}

// A variant written as chromosome and position: 1:12345, 1:12345:A:G,
// chr1:12345:A:G, 1_12345_A_G. The chromosome ends at the first ':' (at the
// first '_' where there is no ':'), the position at the next ':' or '_'.
// Without either, the whole text is the chromosome and there is no position.
struct Locus {
    QByteArrayView chromosome, position;
};

Locus splitVariant(QByteArrayView variant)
{
    const qsizetype colon = variant.indexOf(':');
    const qsizetype end = colon >= 0 ? colon : variant.indexOf('_');
    if (end <= 0)
        return {variant, {}};
    qsizetype stop = end + 1;
    while (stop < variant.size() && variant[stop] != ':' && variant[stop] != '_')
        ++stop;
    return {variant.first(end), variant.sliced(end + 1, stop - end - 1)};
}

// Moves the reader past the comment lines before the header; returns the
// header, the first other line (empty at the end of the file). `offset` is
// where it starts; `comments` tells whether any came before it.
QByteArray skipComments(LineReader &reader, qint64 &offset, bool &comments)
{
    comments = false;
    QByteArrayView line;
    while (reader.readLine(line, offset)) {
        if (!line.isEmpty() && !isComment(line))
            return line.toByteArray();
        comments = true;
    }
    return QByteArray();
}

// The compatible reading serves files whose header the first line's rules
// refuse, or whose first line is a comment without a delimiter.
bool refusedByColumns(const LayoutResult &firstReading, QByteArrayView firstLine)
{
    const Fault f = firstReading.fault;
    return f == Fault::IncorrectColumns || f == Fault::TooFewColumns || f == Fault::NaturalLogPValue
        || (f == Fault::UnknownDelimiter && firstLine.startsWith('#'));
}

// PLINK 2 and REGENIE write the tests of a variant on consecutive rows:
// the rows of the first variant tell which tests the file holds.
constexpr int kFirstVariantRows = 1000;

// What the first data rows tell: whether a row name comes first (R's
// write.table: one field more than the header), which field holds a variant
// written as chromosome:position, and which TEST to keep. Leaves the reader
// at the first data line.
Fault settleFromRows(LineReader &reader, LayoutResult &r)
{
    Layout &l = r.layout;
    QByteArrayView line;
    qint64 offset = 0, dataOffset = -1;
    QByteArray firstKey; // the first row's chromosome and position fields
    QList<QByteArray> tests;
    int rows = 0;
    Fault fault = Fault::None;
    while (rows < kFirstVariantRows && reader.readLine(line, offset)) {
        if (dataOffset < 0)
            dataOffset = offset;
        if (line.isEmpty() || (l.comments && line.startsWith('#')))
            continue;
        if (rows++ == 0) {
            const QList<QByteArrayView> fields = splitFields(line, l);
            if (fields.size() == r.names.size() + 1 && !fields.last().isEmpty()) {
                l.rowNames = true;
                for (int *column : {&l.chrColumn, &l.posColumn, &l.pColumn})
                    ++*column;
                for (int *column : {&l.log10Column, &l.testColumn})
                    *column += *column != 0;
                for (int &column : r.variantColumns)
                    ++column;
            }
            if (!r.variantColumns.isEmpty()) {
                const auto parses = [&](int column) {
                    const Locus locus = splitVariant(fields.value(column - 1));
                    return !locus.chromosome.isEmpty() && toInt32(locus.position);
                };
                const auto found = std::find_if(r.variantColumns.begin(), r.variantColumns.end(), parses);
                if (found == r.variantColumns.end())
                    fault = Fault::IncorrectColumns;
                else
                    l.chrColumn = l.posColumn = *found;
                l.variant = true;
            }
            if (l.testColumn == 0 || fault != Fault::None)
                break;
        }
        RowFields f;
        cut(line, l, f);
        if (!hasMainFields(f, l))
            break; // a short row, which the loads report
        const QByteArray key = f[Chromosome].toByteArray() + '\t' + f[Position].toByteArray();
        if (rows == 1)
            firstKey = key;
        else if (key != firstKey)
            break;
        if (f.count >= l.testColumn)
            tests << f[Test].toByteArray();
    }
    if (l.testColumn != 0) {
        if (tests.contains("ADD"))
            l.test = "ADD";
        else if (!tests.isEmpty())
            l.test = tests.first();
        else
            l.testColumn = 0; // no row says: every row is kept
    }
    if (dataOffset >= 0 && !reader.seek(dataOffset))
        return Fault::CannotOpen;
    return fault;
}

} // namespace

namespace {

// A GWAS-VCF file's records come as "CHROM<TAB>POS<TAB>LP" lines.
LayoutResult vcfLayout(const VcfSource &vcf)
{
    LayoutResult result;
    if (!vcf.hasLp()) {
        result.fault = Fault::VcfWithoutLp;
        return result;
    }
    result.layout.pIsLog10 = true;
    result.columns = QStringLiteral("Columns read: chromosome CHROM, position POS, -log10 p-value LP of sample ")
        + vcf.sampleName() + QStringLiteral(" (GWAS-VCF)");
    return result;
}

} // namespace

LayoutResult openDataFile(LineReader &reader, const QString &path)
{
    LayoutResult result;
    if (!reader.open(path)) {
        result.fault = Fault::CannotOpen;
        return result;
    }
    if (reader.vcf())
        return vcfLayout(*reader.vcf());
    if (reader.isEmpty())
        return result; // no rows: the default columns
    QByteArrayView first;
    qint64 headerOffset = 0;
    if (!reader.readLine(first, headerOffset))
        first = QByteArrayView();
    const QByteArray firstLine = first.toByteArray(); // the view lasts until the next read
    result = detectLayout(QByteArrayView(firstLine));
    bool compatible = false;
    if (refusedByColumns(result, firstLine)) {
        if (!reader.seek(0)) {
            result.fault = Fault::CannotOpen;
            return result;
        }
        bool comments = false;
        const QByteArray header = skipComments(reader, headerOffset, comments);
        LayoutResult other = detectCompatibleLayout(header);
        if (other.fault == Fault::None) {
            other.layout.comments = comments;
            result = other;
            compatible = true;
        }
    }
    if (result.fault != Fault::None)
        return result;
    Layout &l = result.layout;
    // The data rows are read again from the first: a file that refuses to
    // go back (damaged compressed data, told by the caller) cannot be read.
    if (!l.header)
        result.fault = reader.seek(headerOffset) ? Fault::None : Fault::CannotOpen; // the first line is data
    else
        result.fault = settleFromRows(reader, result);
    if (result.fault != Fault::None)
        return result;
    if (compatible || l.pIsLog10 || l.log10Column != 0 || l.testColumn != 0 || l.rowNames || l.chromosomeByName) {
        result.columns = describeColumns(result.names, l);
        if (compatible)
            result.columns += QStringLiteral(" (compatible reading)");
    }
    return result;
}

namespace {

// What a p-value or -log10 p field gives. Sixteen bytes: it goes in
// registers, not through memory.
struct Score {
    enum Kind { Value, Missing, Zero, Bad };
    double value = 0;
    Kind kind = Missing;
    Fault fault = Fault::None;
};

Score bad(Fault fault)
{
    return {0, Score::Bad, fault};
}

// "NA", as R writes it; empty and "." as pandas, data.table, spreadsheets
// and VCF write a missing value.
Q_ALWAYS_INLINE bool isMissing(QByteArrayView text)
{
    const qsizetype size = text.size();
    return size == 0 || (size == 1 && text[0] == '.') || (size == 2 && text[0] == 'N' && text[1] == 'A');
}

Score fromPValue(QByteArrayView text)
{
    if (isMissing(text))
        return {};
    if (const auto value = toDouble(text)) {
        if (*value == 0)
            return {0, Score::Zero};
        if (!(*value > 0) || !std::isfinite(*value))
            return bad(Fault::InvalidPValue);
        // Below the smallest normal double the digits thin out: the text
        // gives the exact score.
        if (*value < DBL_MIN)
            return {-decimalMagnitude(text)->log10, Score::Value};
        return {-log10ClearingVectorState(*value), Score::Value};
    }
    // Qt refuses numbers beyond a double's range: a positive one below it is
    // a real, very strong p-value; a negative one is no p-value; one too
    // large does not convert, as Qt says.
    const auto magnitude = decimalMagnitude(text);
    if (!magnitude || (!magnitude->negative && !isTinyPositive(magnitude)))
        return bad(Fault::NonNumericPValue);
    if (magnitude->negative)
        return bad(Fault::InvalidPValue);
    return {-magnitude->log10, Score::Value};
}

Score fromLog10(QByteArrayView text)
{
    if (isMissing(text))
        return {};
    const auto value = toDouble(text);
    if (!value)
        return bad(Fault::NonNumericPValue);
    // A negative -log10 p is a p above 1: the column holds something else,
    // log10 p perhaps, whose plot would be upside down.
    if (!std::isfinite(*value) || *value < 0)
        return bad(Fault::InvalidPValue);
    return {*value, Score::Value};
}

// The one way to a row's score: from its p-value, or its -log10 p, which
// also stands in for a p-value written as 0 where it converts.
Q_ALWAYS_INLINE Score rowScore(const RowFields &f, const Layout &l)
{
    if (l.pIsLog10)
        return fromLog10(f[PValue]);
    const Score score = fromPValue(f[PValue]);
    // A row without the column has an empty field, which is no -log10 p.
    if (score.kind == Score::Zero && l.log10Column != 0) {
        const Score log10 = fromLog10(f[Log10P]);
        if (log10.kind == Score::Value)
            return log10;
    }
    return score;
}

} // namespace

Row convertRow(QByteArrayView line, const Layout &layout)
{
    Row row;
    if (layout.comments && line.startsWith('#'))
        return row;
    RowFields f;
    cut(line, layout, f);
    if (!hasMainFields(f, layout)) {
        row.kind = Row::Bad;
        row.fault = Fault::MissingColumns;
        return row;
    }
    QByteArrayView label = f[Chromosome], positionText = f[Position];
    if (layout.variant) {
        const Locus locus = splitVariant(label);
        label = locus.chromosome;
        positionText = locus.position;
    }
    row.label = label;
    // The columns beyond the three are optional in each row.
    if (layout.testColumn != 0 && f.count >= layout.testColumn && f[Test] != QByteArrayView(layout.test))
        return row; // another test of the variant, not a marker
    const Score score = rowScore(f, layout);
    if (score.kind == Score::Bad) {
        row.kind = Row::Bad;
        row.fault = score.fault;
        return row;
    }
    if (score.kind != Score::Value)
        return row;
    const auto position = toInt32(positionText);
    if (!position) {
        row.kind = Row::Bad;
        row.fault = Fault::NonIntegerPosition;
        return row;
    }
    row.kind = Row::Kept;
    row.position = *position;
    row.score = score.value;
    return row;
}
