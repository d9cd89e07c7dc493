#include "reader.h"

#include "columns.h"
#include "linereader.h"
#include "numbers.h"
#include "vectorstate.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QString unquoted(const QString &field)
{
    const bool quoted = field.size() >= 2 && field.startsWith(QLatin1Char('"')) && field.endsWith(QLatin1Char('"'));
    return quoted ? field.mid(1, field.size() - 2) : field;
}

QByteArrayView unquoted(QByteArrayView field)
{
    const bool quoted = field.size() >= 2 && field.front() == '"' && field.back() == '"';
    return quoted ? field.sliced(1, field.size() - 2) : field;
}

// A header's fields, as the layout splits its lines.
QStringList splitFields(const QString &line, const Layout &l)
{
    QStringList fields = l.blankRuns ? line.split(QRegularExpression(QStringLiteral("[ \t]+")), Qt::SkipEmptyParts)
                                     : line.split(QLatin1Char(l.delimiter), Qt::KeepEmptyParts);
    if (l.unquote) {
        for (QString &field : fields)
            field = unquoted(field);
    }
    return fields;
}

// Splits the first line as the layout says: too few fields, or a header
// whose columns `find` does not find, are faults.
Fault settleColumns(const QString &line, Layout &l, bool (*find)(const QStringList &, Layout &))
{
    const QStringList fields = splitFields(line, l);
    if (fields.size() < 3)
        return Fault::TooFewColumns;
    l.header = !std::all_of(fields.begin(), fields.end(), isNumericField);
    if (l.header && !find(fields, l))
        return Fault::IncorrectColumns;
    return Fault::None;
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
    Layout &l = result.layout;
    l.delimiter = *delimiter;
    result.fault = settleColumns(firstLine, l, findColumns);
    return result;
}

LayoutResult detectCompatibleLayout(const QString &headerLine)
{
    LayoutResult result;
    Layout &l = result.layout;
    // PLINK 1.9 aligns its columns with runs of spaces, starting with one.
    l.blankRuns = !headerLine.contains(QLatin1Char('\t'))
        && (headerLine.startsWith(QLatin1Char(' ')) || headerLine.contains(QLatin1String("  ")));
    l.unquote = true;
    if (!l.blankRuns) {
        const auto delimiter = chooseDelimiter(headerLine);
        if (!delimiter) {
            result.fault = Fault::UnknownDelimiter;
            return result;
        }
        l.delimiter = *delimiter;
    }
    result.fault = settleColumns(headerLine, l, findCompatibleColumns);
    return result;
}

bool isCommentLine(const QString &line)
{
    if (!line.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype end = line.indexOf(QRegularExpression(QStringLiteral("[ \t,]")));
    const QString first = line.left(end);
    return !isColumnName(unquoted(first)) && !isColumnName(unquoted(first.mid(1)));
}

namespace {

enum Role { Chromosome, Position, PValue, Log10P, Test, kRoles };
using Fields = QByteArrayView[kRoles];

// The layout's columns, and which role each field plays.
struct Columns {
    explicit Columns(const Layout &l)
        : number{l.chrColumn, l.posColumn, l.pColumn, l.log10Column, l.testColumn},
          last(std::max(std::max(std::max(l.chrColumn, l.posColumn), std::max(l.pColumn, l.log10Column)),
                        l.testColumn)),
          further(l.log10Column != 0 || l.testColumn != 0)
    {
    }

    // Written out: a loop over the roles is not unrolled.
    Q_ALWAYS_INLINE void take(int column, QByteArrayView text, Fields &fields) const
    {
        fields[Chromosome] = column == number[Chromosome] ? text : fields[Chromosome];
        fields[Position] = column == number[Position] ? text : fields[Position];
        fields[PValue] = column == number[PValue] ? text : fields[PValue];
        if (further) {
            fields[Log10P] = column == number[Log10P] ? text : fields[Log10P];
            fields[Test] = column == number[Test] ? text : fields[Test];
        }
    }

    // Whether a column plays a role: bit c for column c, up to column 63
    // (further ones all count as playing one).
    quint64 wanted() const
    {
        quint64 bits = 0;
        for (const int c : number)
            bits |= c > 0 && c < 64 ? quint64(1) << c : 0;
        return last < 64 ? bits : ~quint64(0);
    }

    int number[kRoles];
    int last;
    bool further;
};

// Cuts the fields of the layout's columns out of a line, at each run of
// blanks (leading blanks ignored). False when the line ends first.
Q_NEVER_INLINE bool cutBlankRunFields(QByteArrayView line, const Columns &columns, Fields &fields)
{
    const char *field = line.data();
    const char *const end = field + line.size();
    while (field != end && isBlank(*field))
        ++field;
    for (int column = 1;; ++column) {
        const char *stop = field;
        while (stop != end && !isBlank(*stop))
            ++stop;
        columns.take(column, QByteArrayView(field, stop - field), fields);
        if (column == columns.last)
            return true;
        if (stop == end)
            return false;
        field = stop + 1;
        while (field != end && isBlank(*field))
            ++field;
        if (field == end)
            return false;
    }
}

#ifdef __SSE2__
// The delimiters among the 16 bytes from p on, as bits, those at or after
// `end` left out. Where fewer than 16 bytes are left, the load may read past
// the line's end, but never past its memory page (which cannot fault): not
// checked by the address sanitizer, as a string function's own reads are not.
#if defined(__SANITIZE_ADDRESS__)
#define TIVREL_WHOLE_PAGE_READ __attribute__((no_sanitize("address")))
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TIVREL_WHOLE_PAGE_READ __attribute__((no_sanitize("address")))
#endif
#endif
#ifndef TIVREL_WHOLE_PAGE_READ
#define TIVREL_WHOLE_PAGE_READ Q_ALWAYS_INLINE // the attribute would keep it from being inlined
#endif
TIVREL_WHOLE_PAGE_READ unsigned delimitersAt(const char *p, const char *end, __m128i delimiter)
{
    const qsizetype left = end - p;
    __m128i block;
    constexpr quintptr kPage = 4096;
    if (left >= 16 || (quintptr(p) & (kPage - 1)) <= kPage - 16) {
        block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    } else {
        char tail[16] = {};
        std::memcpy(tail, p, size_t(left));
        block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(tail));
    }
    const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, delimiter)));
    return left >= 16 ? mask : mask & ((1u << left) - 1);
}
#endif

// The bits set in a block's 16-bit mask, counted without the processor's
// own instruction, which the baseline x86-64 build may not use (the
// compiler would call a slow library function instead).
Q_ALWAYS_INLINE int delimiterCount(unsigned mask)
{
    mask = mask - ((mask >> 1) & 0x5555u);
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return int((mask + (mask >> 8)) & 0x1Fu);
}

// Cuts the fields of the layout's columns out of a line, at each delimiter.
// False when the line ends first. Sixteen bytes at a time: where a field
// ends then costs no branch of its own.
Q_ALWAYS_INLINE bool cutDelimitedFields(QByteArrayView line, char delimiter, const Columns &columns, Fields &fields)
{
    const char *const data = line.data();
    const char *const end = data + line.size();
    int column = 1;
    const char *field = data;
#ifdef __SSE2__
    const __m128i delimiters = _mm_set1_epi8(delimiter);
    // A wide file's columns between those wanted are passed over a block at
    // a time (not worth its cost for a few columns).
    const bool wide = columns.last >= 8;
    const quint64 wanted = wide ? columns.wanted() : ~quint64(0);
    for (const char *block = data; block < end; block += 16) {
        unsigned mask = delimitersAt(block, end, delimiters);
        // The delimiters of this block end n fields of no role?
        if (const int n = wide ? delimiterCount(mask) : 0; n > 0 && column + n < 64
            && ((wanted >> column) & ((quint64(1) << n) - 1)) == 0) {
            column += n;
            field = block + (31 - qCountLeadingZeroBits(mask)) + 1;
            continue;
        }
        for (; mask != 0; mask &= mask - 1) {
            const char *stop = block + qCountTrailingZeroBits(mask);
            columns.take(column, QByteArrayView(field, stop - field), fields);
            if (column == columns.last)
                return true;
            ++column;
            field = stop + 1;
        }
    }
#else
    for (const char *stop = field; stop != end; ++stop) {
        if (*stop != delimiter)
            continue;
        columns.take(column, QByteArrayView(field, stop - field), fields);
        if (column == columns.last)
            return true;
        ++column;
        field = stop + 1;
    }
#endif
    columns.take(column, QByteArrayView(field, end - field), fields);
    return column == columns.last;
}

// Inline, the delimited path: it runs for every row of a file.
Q_ALWAYS_INLINE bool cutFields(QByteArrayView line, const Layout &l, Fields &fields)
{
    const Columns columns(l);
    return l.blankRuns ? cutBlankRunFields(line, columns, fields)
                       : cutDelimitedFields(line, l.delimiter, columns, fields);
}

// Moves the reader past the comment lines before the header; returns the
// header, the first other line (empty at the end of the file). `offset` is
// where it starts; `comments` tells whether any came before it.
QString skipComments(LineReader &reader, qint64 &offset, bool &comments)
{
    comments = false;
    QByteArrayView line;
    while (reader.readLine(line, offset)) {
        const QString text = QString::fromUtf8(line);
        if (!text.isEmpty() && !isCommentLine(text))
            return text;
        comments = true;
    }
    return QString();
}

// The compatible reading serves files whose header the first line's rules
// refuse, or whose first line is a comment without a delimiter.
bool refusedByColumns(const LayoutResult &firstReading, QByteArrayView firstLine)
{
    return firstReading.fault == Fault::IncorrectColumns || firstReading.fault == Fault::TooFewColumns
        || (firstReading.fault == Fault::UnknownDelimiter && firstLine.startsWith('#'));
}

} // namespace

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
    qint64 headerOffset = 0;
    if (!reader.readLine(first, headerOffset))
        first = QByteArrayView();
    QString header = QString::fromUtf8(first);
    result = detectLayout(header);
    bool compatible = false;
    if (refusedByColumns(result, first)) {
        reader.seek(0);
        bool comments = false;
        header = skipComments(reader, headerOffset, comments);
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
    if (!l.header) {
        reader.seek(headerOffset); // the first line is data
    } else if (l.testColumn != 0) {
        // The test kept is the first data row's.
        QByteArrayView line;
        qint64 dataOffset = -1, offset = 0;
        while (reader.readLine(line, offset)) {
            if (dataOffset < 0)
                dataOffset = offset;
            if (line.isEmpty() || (l.comments && line.startsWith('#')))
                continue;
            Fields fields;
            if (cutFields(line, l, fields))
                l.test = (l.unquote ? unquoted(fields[Test]) : fields[Test]).toByteArray();
            break;
        }
        if (dataOffset >= 0)
            reader.seek(dataOffset);
    }
    if (compatible || l.pIsLog10 || l.log10Column != 0 || l.testColumn != 0) {
        result.columns = describeColumns(l.header ? splitFields(header, l) : QStringList(), l);
        if (compatible)
            result.columns += QStringLiteral(" (compatible reading)");
    }
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
    if (layout.comments && line.startsWith('#'))
        return row;
    Fields f;
    if (!cutFields(line, layout, f))
        return bad(Fault::MissingColumns);
    if (layout.unquote) {
        for (QByteArrayView &field : f)
            field = unquoted(field);
    }
    row.label = f[Chromosome];
    if (layout.testColumn != 0 && f[Test] != QByteArrayView(layout.test))
        return row; // another test of the variant, not a marker
    const auto isNA = [](QByteArrayView text) { return text.size() == 2 && text[0] == 'N' && text[1] == 'A'; };
    const QByteArrayView p = f[PValue];
    if (isNA(p))
        return row;
    double score = 0;
    QByteArrayView log10Text; // a -log10 p to read as the score
    bool readLog10 = layout.pIsLog10;
    if (readLog10) {
        log10Text = p;
    } else if (const auto value = toDouble(p)) {
        if (*value == 0) {
            // A p-value written as 0 beyond a double's range: its -log10 may still tell.
            if (layout.log10Column == 0 || isNA(f[Log10P]))
                return row;
            readLog10 = true;
            log10Text = f[Log10P];
        } else if (!(*value > 0) || !std::isfinite(*value)) {
            return bad(Fault::InvalidPValue);
        } else {
            score = -log10ClearingVectorState(*value);
        }
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
    if (readLog10) {
        const auto value = toDouble(log10Text);
        if (!value)
            return bad(Fault::NonNumericPValue);
        if (!std::isfinite(*value))
            return bad(Fault::InvalidPValue);
        score = *value;
    }
    const auto position = toInt32(f[Position]);
    if (!position)
        return bad(Fault::NonIntegerPosition);
    row.kind = Row::Kept;
    row.position = *position;
    row.score = score;
    return row;
}
