// Cutting a line into fields: the one splitter that header lines and data
// rows both go through, so that a header's column numbers always name the
// same fields in the rows.
#pragma once

#include <QByteArrayView>
#include <QList>

// How the lines of a file are cut into fields.
struct FieldSplitting {
    char delimiter = '\t';
    bool blankRuns = false; // fields are split at runs of blanks instead, leading blanks ignored
    bool unquote = false;   // a field in double quotes is read without them, delimiters inside included
};

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The text between a field's double quotes, or the field as it stands.
inline QByteArrayView unquoted(QByteArrayView field)
{
    const bool quoted = field.size() >= 2 && field.front() == '"' && field.back() == '"';
    return quoted ? field.sliced(1, field.size() - 2) : field;
}

// Calls take(column, text) for each field of the line in turn, columns
// counted from 1, until take returns false or the line ends. Returns the
// number of fields handed over. Empty fields count: "a,,b" has three, and
// so has "a,b," (the last one empty); with blankRuns a line of blanks has
// one, empty. With unquote, a field that starts with a double quote runs to the
// quote that is followed by a delimiter or the line's end, and is handed
// over without its quotes.
template <bool blankRuns, typename Take>
Q_ALWAYS_INLINE int forEachField(QByteArrayView line, const FieldSplitting &s, Take take)
{
    const char delimiter = s.delimiter; // locals: no store can change them
    const bool unquote = s.unquote;
    const auto endsField = [delimiter](char c) { return blankRuns ? isBlank(c) : c == delimiter; };
    const char *field = line.data();
    const char *const end = field + line.size();
    if (blankRuns) {
        while (field != end && isBlank(*field))
            ++field;
    }
    for (int column = 1;; ++column) {
        // Fields are short: a plain scan beats a memchr call per field.
        const char *stop = field;
        if (unquote && stop != end && *stop == '"') {
            for (const char *quote = stop + 1; quote != end; ++quote) {
                if (*quote == '"' && (quote + 1 == end || endsField(quote[1]))) {
                    stop = quote + 1;
                    break;
                }
            }
        }
        while (stop != end && !endsField(*stop))
            ++stop;
        const QByteArrayView text(field, stop - field);
        if (!take(column, unquote ? unquoted(text) : text) || stop == end)
            return column;
        field = stop + 1;
        if (blankRuns) {
            while (field != end && isBlank(*field))
                ++field;
            if (field == end)
                return column;
        }
    }
}

// Every field of a line.
QList<QByteArrayView> splitFields(QByteArrayView line, const FieldSplitting &s);
