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

// Goes through the fields of a line in turn: the one splitter of header
// lines and rows. Empty fields count: "a,,b" has three fields, and so has
// "a,b," (the last one empty); with blankRuns leading blanks are skipped and
// a line of blanks has one empty field. With quoted, a field that starts
// with a double quote runs to the quote that is followed by a delimiter or
// the line's end, and is handed over without its quotes.
template <bool blankRuns, bool quoted>
class FieldCursor
{
public:
    FieldCursor(QByteArrayView line, char delimiter)
        : field_(line.data()), end_(line.data() + line.size()), delimiter_(delimiter)
    {
        if (blankRuns) {
            while (field_ != end_ && isBlank(*field_))
                ++field_;
        }
    }

    // Whether the line has no field left. A line has at least one.
    bool atEnd() const { return atEnd_; }

    // The next field; only while not atEnd().
    Q_ALWAYS_INLINE QByteArrayView next()
    {
        // Fields are short: a plain scan beats a memchr call per field.
        const char *stop = field_;
        if (quoted && stop != end_ && *stop == '"') {
            for (const char *quote = stop + 1; quote != end_; ++quote) {
                if (*quote == '"' && (quote + 1 == end_ || endsField(quote[1]))) {
                    stop = quote + 1;
                    break;
                }
            }
        }
        while (stop != end_ && !endsField(*stop))
            ++stop;
        const QByteArrayView text(field_, stop - field_);
        atEnd_ = stop == end_;
        field_ = atEnd_ ? stop : stop + 1;
        if (blankRuns && !atEnd_) {
            while (field_ != end_ && isBlank(*field_))
                ++field_;
            atEnd_ = field_ == end_;
        }
        return quoted ? unquoted(text) : text;
    }

private:
    bool endsField(char c) const { return blankRuns ? isBlank(c) : c == delimiter_; }

    const char *field_;
    const char *const end_;
    const char delimiter_;
    bool atEnd_ = false;
};

// Every field of a line.
QList<QByteArrayView> splitFields(QByteArrayView line, const FieldSplitting &s);
