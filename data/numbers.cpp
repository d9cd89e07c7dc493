#include "numbers.h"

#include <QString>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Qt 6.4 stops converting at a NUL character, so "150\0abc" would read as
// 150: a field holding a NUL is refused instead.
bool holdsNul(QByteArrayView text)
{
    return text.contains('\0');
}

} // namespace

std::optional<int> qtToInt32(QByteArrayView text)
{
    if (holdsNul(text))
        return std::nullopt;
    bool ok = false;
    const int v = QString::fromUtf8(text).toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

std::optional<double> qtToDouble(QByteArrayView text)
{
    if (holdsNul(text))
        return std::nullopt;
    bool ok = false;
    const double v = QString::fromUtf8(text).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

namespace {

// The plain form "-?D+(.D+)?([eE][+-]?D+)?" that real files use, read in one
// pass. When its digits (at most 15, leading zeros aside) and its power of
// ten (at most 22) are exactly represented as doubles, one correctly rounded
// division or multiplication gives the correctly rounded value, as Qt's
// conversion does.
struct PlainDecimal {
    bool plain = false; // the text has the plain form
    bool exact = false; // and `value` holds its value
    double value = 0;
};

PlainDecimal readPlainDecimal(const char *p, const char *end)
{
    PlainDecimal r;
    const bool negative = p != end && *p == '-';
    p += negative;
    long long mantissa = 0;
    int digits = 0, scale = 0;
    bool tooLong = false;
    const auto readDigits = [&](bool fraction) {
        const char *first = p;
        for (; p != end && isDigit(*p); ++p) {
            if (digits == 15 && (mantissa != 0 || *p != '0')) {
                tooLong = true; // still checked for the plain form
                continue;
            }
            mantissa = mantissa * 10 + (*p - '0');
            digits += mantissa != 0;
            scale -= fraction;
        }
        return p != first;
    };
    if (!readDigits(false))
        return r;
    if (p != end && *p == '.') {
        ++p;
        if (!readDigits(true))
            return r;
    }
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negativeExponent = p != end && *p == '-';
        p += p != end && (*p == '-' || *p == '+');
        const char *first = p;
        int e = 0;
        for (; p != end && isDigit(*p); ++p)
            e = std::min(e * 10 + (*p - '0'), 100000);
        if (p == first)
            return r;
        scale += negativeExponent ? -e : e;
    }
    if (p != end)
        return r;
    r.plain = true;
    static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (tooLong || mantissa == 0 || scale < -22 || scale > 22)
        return r;
    const double m = double(mantissa);
    const double v = scale < 0 ? m / powers[-scale] : m * powers[scale];
    r.exact = true;
    r.value = negative ? -v : v;
    return r;
}

} // namespace

std::optional<double> toDouble(QByteArrayView text)
{
    const char *begin = text.data(), *end = begin + text.size();
    const PlainDecimal plain = readPlainDecimal(begin, end);
    if (plain.exact)
        return plain.value;
    if (plain.plain) {
        double v = 0;
        const auto [stop, ec] = std::from_chars(begin, end, v);
        // Zero, subnormal and out-of-range results go to Qt, whose verdict on
        // underflow differs from from_chars.
        if (ec == std::errc() && stop == end && std::isfinite(v) && std::fabs(v) >= DBL_MIN)
            return v;
    }
    return qtToDouble(text);
}

std::optional<DecimalMagnitude> decimalMagnitude(QByteArrayView text)
{
    qsizetype i = 0, n = text.size();
    while (i < n && isAsciiSpace(text[i]))
        ++i;
    while (n > i && isAsciiSpace(text[n - 1]))
        --n;
    DecimalMagnitude result;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        result.negative = text[i++] == '-';
    // Mantissa: 17 significant digits are plenty for a 6-digit score.
    double mantissa = 0;
    int kept = 0;
    long long exponent = 0; // decimal exponent of the last digit kept
    bool anyDigit = false, seenPoint = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c == '.' && !seenPoint) {
            seenPoint = true;
            continue;
        }
        if (!isDigit(c))
            break;
        anyDigit = true;
        if (kept < 17 && !(mantissa == 0 && c == '0')) {
            mantissa = mantissa * 10 + (c - '0');
            ++kept;
            if (seenPoint)
                --exponent;
        } else if (mantissa == 0 ? seenPoint : !seenPoint) {
            // a leading zero after the point, or a dropped digit before it
            exponent += seenPoint ? -1 : 1;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    long long e = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        if (i == n)
            return std::nullopt;
        for (; i < n && isDigit(text[i]); ++i) {
            if (e < 1000000000000000LL) // saturate: the logarithm stays finite
                e = e * 10 + (text[i] - '0');
        }
        if (negativeExponent)
            e = -e;
    }
    if (i != n || mantissa == 0)
        return std::nullopt;
    result.log10 = std::log10(mantissa) + double(exponent + e);
    return result;
}
