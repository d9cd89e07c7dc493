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
    case Fault::DamagedCompressed:
        return QStringLiteral("Compressed data file is damaged or cut short!");
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

bool isNumericField(const QString &field)
{
    // The rows' own rules: Qt's integer or double conversion (a NUL refused),
    // or a number beyond a double's range (a p-value such as 1e-400, which a
    // file sorted by p-value puts on its first line).
    const QByteArray bytes = field.toUtf8();
    return qtToInt32(bytes) || qtToDouble(bytes) || decimalMagnitude(bytes);
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
        if (stop == end) {
            row.kind = Row::Bad;
            row.fault = Fault::MissingColumns;
            return row;
        }
        field = stop + 1;
    }
    row.label = chr;
    if (p.size() == 2 && p[0] == 'N' && p[1] == 'A')
        return row;
    double score = 0;
    if (const auto value = toDouble(p)) {
        if (*value == 0)
            return row;
        if (!(*value > 0) || !std::isfinite(*value)) {
            row.kind = Row::Bad;
            row.fault = Fault::InvalidPValue;
            return row;
        }
        clearUpperVectorState(); // before libm's log10, see vectorstate.h
        score = -std::log10(*value);
    } else {
        // Qt refuses numbers beyond a double's range: a positive one below it
        // is a real, very strong p-value; anything else cannot be a p-value.
        const auto magnitude = decimalMagnitude(p);
        if (!magnitude) {
            row.kind = Row::Bad;
            row.fault = Fault::NonNumericPValue;
            return row;
        }
        if (magnitude->negative || magnitude->log10 >= 0) {
            row.kind = Row::Bad;
            row.fault = Fault::InvalidPValue;
            return row;
        }
        score = -magnitude->log10;
    }
    const auto position = toInt32(pos);
    if (!position) {
        row.kind = Row::Bad;
        row.fault = Fault::NonIntegerPosition;
        return row;
    }
    row.kind = Row::Kept;
    row.position = *position;
    row.score = score;
    return row;
}
