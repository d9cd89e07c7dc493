#include "reader.h"

#include "linereader.h"
#include "numbers.h"
#include "vectorstate.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

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
    }
    return QString();
}

std::optional<char> chooseDelimiter(const QString &firstLine)
{
    for (const char candidate : {'\t', ' ', ','}) {
        if (firstLine.contains(QLatin1Char(candidate)))
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

bool isNumericField(const QString &field)
{
    // The rows' own rules: Qt's integer or double conversion (a NUL refused),
    // or a p-value too small for a double, which a file sorted by p-value
    // puts on its first line. Anything else Qt refuses is text.
    const QByteArray bytes = field.toUtf8();
    return qtToInt32(bytes) || qtToDouble(bytes) || isTinyPositive(decimalMagnitude(bytes));
}

namespace {

// Index (from 1) of the first field that passes the test, or 0.
template <typename Test>
int findColumn(const QStringList &fields, Test test)
{
    const auto it = std::find_if(fields.begin(), fields.end(), test);
    return it == fields.end() ? 0 : int(it - fields.begin()) + 1;
}

bool containsAny(const QString &field, std::initializer_list<const char *> parts)
{
    return std::any_of(parts.begin(), parts.end(), [&](const char *part) {
        return field.contains(QLatin1String(part), Qt::CaseInsensitive);
    });
}

} // namespace

LayoutResult detectLayout(const QString &firstLine)
{
    LayoutResult result;
    const auto delimiter = chooseDelimiter(firstLine);
    if (!delimiter) {
        result.fault = Fault::UnknownDelimiter;
        return result;
    }
    result.layout.delimiter = *delimiter;
    const QStringList fields = firstLine.split(QLatin1Char(*delimiter), Qt::KeepEmptyParts);
    if (fields.size() < 3) {
        result.fault = Fault::TooFewColumns;
        return result;
    }
    result.layout.header = !std::all_of(fields.begin(), fields.end(), isNumericField);
    if (!result.layout.header)
        return result;

    Layout &l = result.layout;
    l.posColumn = findColumn(fields, [](const QString &f) { return containsAny(f, {"pos"}); });
    l.pColumn = findColumn(fields, [](const QString &f) {
        return containsAny(f, {"pval", "p-val"}) || f == QLatin1String("P") || f == QLatin1String("p");
    });
    l.chrColumn = findColumn(fields, [](const QString &f) { return containsAny(f, {"chr", "some", "id"}); });
    if (l.posColumn == 0 || l.pColumn == 0 || l.chrColumn == 0)
        result.fault = Fault::IncorrectColumns;
    return result;
}

LayoutResult openDataFile(LineReader &reader, const QString &path)
{
    LayoutResult result;
    if (!reader.open(path)) {
        result.fault = Fault::CannotOpen;
        return result;
    }
    if (reader.isEmpty())
        return result; // no rows: the default columns
    QByteArrayView first;
    qint64 offset = 0;
    if (!reader.readLine(first, offset))
        first = QByteArrayView();
    result = detectLayout(QString::fromUtf8(first));
    if (result.fault == Fault::None && !result.layout.header)
        reader.seek(0); // the first line is data
    return result;
}

Row convertRow(QByteArrayView line, const Layout &layout)
{
    Row row;
    const auto bad = [&row](Fault fault) {
        row.kind = Row::Bad;
        row.fault = fault;
        return row;
    };
    const int lastColumn = std::max({layout.chrColumn, layout.posColumn, layout.pColumn});
    QByteArrayView chr, pos, p;
    const char *field = line.data();
    const char *const end = field + line.size();
    for (int column = 1;; ++column) {
        // Fields are short: a plain scan beats a memchr call per field.
        const char *stop = field;
        while (stop != end && *stop != layout.delimiter)
            ++stop;
        const QByteArrayView text(field, stop - field);
        if (column == layout.chrColumn)
            chr = text;
        if (column == layout.posColumn)
            pos = text;
        if (column == layout.pColumn)
            p = text;
        if (column == lastColumn)
            break;
        if (stop == end)
            return bad(Fault::MissingColumns);
        field = stop + 1;
    }
    row.label = chr;
    if (p.size() == 2 && p[0] == 'N' && p[1] == 'A')
        return row;
    double score = 0;
    if (const auto value = toDouble(p)) {
        if (*value == 0)
            return row;
        if (!(*value > 0) || !std::isfinite(*value))
            return bad(Fault::InvalidPValue);
        score = -log10ClearingVectorState(*value);
    } else {
        // Qt refuses numbers beyond a double's range: a positive one below it
        // is a real, very strong p-value; a negative one is no p-value; one
        // too large does not convert, as Qt says.
        const auto magnitude = decimalMagnitude(p);
        if (!magnitude || (!magnitude->negative && !isTinyPositive(magnitude)))
            return bad(Fault::NonNumericPValue);
        if (magnitude->negative)
            return bad(Fault::InvalidPValue);
        score = -magnitude->log10;
    }
    const auto position = toInt32(pos);
    if (!position)
        return bad(Fault::NonIntegerPosition);
    row.kind = Row::Kept;
    row.position = *position;
    row.score = score;
    return row;
}
