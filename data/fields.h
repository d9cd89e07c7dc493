// Cutting a line into fields: the one splitter that header lines and data
// rows both go through, so that a header's column numbers always name the
// same fields in the rows.
#pragma once

#include <QByteArrayView>
#include <QList>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

#ifdef __SSE2__
// The bytes equal to `byte` among the 16 from p on, as bits, those at or
// after `end` left out. Where fewer than 16 bytes are left, the load may read
// past the line's end, but never past its memory page (which cannot fault):
// not checked by the address sanitizer, as a string function's own reads are
// not.
#if defined(__SANITIZE_ADDRESS__)
#define TIVREL_WHOLE_PAGE_READ __attribute__((no_sanitize("address"))) inline
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TIVREL_WHOLE_PAGE_READ __attribute__((no_sanitize("address"))) inline
#endif
#endif
#ifndef TIVREL_WHOLE_PAGE_READ
#define TIVREL_WHOLE_PAGE_READ Q_ALWAYS_INLINE // the attribute would keep it from being inlined
#endif
TIVREL_WHOLE_PAGE_READ unsigned bytesAt(const char *p, const char *end, __m128i byte)
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
    const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, byte)));
    return left >= 16 ? mask : mask & ((1u << left) - 1);
}
#endif

// The bits set in a 16-bit mask, counted without the processor's own
// instruction, which the baseline x86-64 build may not use (the compiler
// would call a slow library function instead).
Q_ALWAYS_INLINE int bitCount16(unsigned mask)
{
    mask = mask - ((mask >> 1) & 0x5555u);
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return int((mask + (mask >> 8)) & 0x1Fu);
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
#ifdef __SSE2__
          ,
          block_(line.data() - 16), delimiters_(_mm_set1_epi8(delimiter))
#endif
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
#ifdef __SSE2__
        if constexpr (!blankRuns && !quoted)
            return nextDelimited();
#endif
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

    // Passes over up to n fields, never the last one; only while not
    // atEnd(). Returns how many.
    Q_ALWAYS_INLINE int skip(int n)
    {
        int skipped = 0;
#ifdef __SSE2__
        if constexpr (!blankRuns && !quoted) {
            // A block's delimiters at a time: a wide file's columns between
            // those wanted cost no branch each.
            while (skipped < n) {
                if (mask_ == 0 && !nextBlock()) {
                    atEnd_ = false; // the last field is still to come
                    return skipped;
                }
                if (const int count = bitCount16(mask_); count <= n - skipped) {
                    skipped += count;
                    field_ = block_ + (31 - qCountLeadingZeroBits(mask_)) + 1;
                    mask_ = 0;
                } else {
                    for (; skipped < n; ++skipped)
                        next();
                }
            }
            return skipped;
        }
#endif
        for (; skipped < n; ++skipped) {
            const char *at = field_;
            next();
            if (atEnd_) { // that was the last field: go back to it
                field_ = at;
                atEnd_ = false;
                return skipped;
            }
        }
        return skipped;
    }

private:
#ifdef __SSE2__
    // Loads the next block's delimiters; false, and at the end, past the line.
    Q_ALWAYS_INLINE bool nextBlock()
    {
        block_ += 16;
        if (block_ >= end_) {
            atEnd_ = true;
            return false;
        }
        mask_ = bytesAt(block_, end_, delimiters_);
        return true;
    }

    // Sixteen bytes at a time: where a field ends then costs no branch of its own.
    Q_ALWAYS_INLINE QByteArrayView nextDelimited()
    {
        while (mask_ == 0) {
            if (!nextBlock())
                return QByteArrayView(field_, end_ - field_);
        }
        const char *stop = block_ + qCountTrailingZeroBits(mask_);
        mask_ &= mask_ - 1;
        const QByteArrayView text(field_, stop - field_);
        field_ = stop + 1;
        return text;
    }
#endif

    bool endsField(char c) const { return blankRuns ? isBlank(c) : c == delimiter_; }

    const char *field_;
    const char *const end_;
    const char delimiter_;
    bool atEnd_ = false;
#ifdef __SSE2__
    const char *block_; // the block of 16 bytes whose delimiters mask_ holds
    __m128i delimiters_;
    unsigned mask_ = 0; // the delimiters in block_ not gone past yet
#endif
};

// Every field of a line.
QList<QByteArrayView> splitFields(QByteArrayView line, const FieldSplitting &s);
