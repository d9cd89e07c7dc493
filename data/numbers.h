// Number conversion for data fields, giving exactly what QString::toInt
// (base 10) and QString::toDouble give, with a fast path for plain forms.
#pragma once

#include <QByteArrayView>
#include <optional>

// What the Qt conversions alone give (except that a text holding a NUL is
// refused, where Qt would stop at the NUL); the fast paths agree with these.
std::optional<int> qtToInt32(QByteArrayView text);
std::optional<double> qtToDouble(QByteArrayView text);

// A field's text as a base-10, 32-bit signed integer, as QString::toInt.
// Inline: it runs for every row of a file.
inline std::optional<int> toInt32(QByteArrayView text)
{
    // An optional minus and at most 9 digits cannot overflow.
    const char *p = text.data(), *end = p + text.size();
    const bool negative = p != end && *p == '-';
    if (negative)
        ++p;
    if (end - p >= 1 && end - p <= 9) {
        int v = 0;
        for (; p != end; ++p) {
            const unsigned digit = unsigned(*p - '0');
            if (digit > 9)
                break;
            v = v * 10 + int(digit);
        }
        if (p == end)
            return negative ? -v : v;
    }
    return qtToInt32(text);
}

// A field's text as a double, as QString::toDouble (which also accepts
// "nan" and "inf"): the usual forms inline (see usualDecimal), any other
// text by readDecimal.
std::optional<double> readDecimal(QByteArrayView text);

// The usual text of a p-value, "-?D+(.D+)?([eE][+-]?D{1,3})?" with at most
// 19 digits, where one correctly rounded division or multiplication gives
// the correctly rounded value, as Qt's conversion does (Clinger's fast
// path), and zero written without a sign or an exponent ("0", "0.000"), as
// a double; false for anything else. Inline: it runs for every row of a
// file, and a call returning an optional costs as much as the reading.
Q_ALWAYS_INLINE bool usualDecimal(QByteArrayView text, double &value)
{
    static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const auto digit = [](char c) { return unsigned(c - '0') < 10; };
    const char *p = text.data(), *const end = p + text.size();
    const bool negative = p != end && *p == '-';
    p += negative;
    quint64 mantissa = 0;
    const char *const first = p;
    for (; p != end && digit(*p); ++p)
        mantissa = mantissa * 10 + unsigned(*p - '0');
    qsizetype digits = p - first;
    if (digits == 0)
        return false;
    int exponent = 0;
    if (p != end && *p == '.') {
        const char *const fraction = ++p;
        for (; p != end && digit(*p); ++p)
            mantissa = mantissa * 10 + unsigned(*p - '0');
        if (p == fraction)
            return false;
        exponent = -int(p - fraction);
        digits += p - fraction;
    }
    const bool exponentGiven = p != end && (*p == 'e' || *p == 'E');
    if (exponentGiven) {
        ++p;
        const bool negativeExponent = p != end && *p == '-';
        p += p != end && (*p == '-' || *p == '+');
        int e = 0, n = 0;
        for (; p != end && digit(*p) && n < 3; ++p, ++n)
            e = e * 10 + (*p - '0');
        if (n == 0)
            return false;
        exponent += negativeExponent ? -e : e;
    }
    // More than 19 digits may not fit; more than 2^53 or a power beyond
    // 10^22 is no longer exact; Qt decides "-0" and "0e-400".
    if (p != end || digits > 19 || mantissa > (quint64(1) << 53) || exponent < -22 || exponent > 22)
        return false;
    if (mantissa == 0) {
        value = 0;
        return !negative && !exponentGiven;
    }
    const double m = double(mantissa);
    const double v = exponent < 0 ? m / powers[-exponent] : m * powers[exponent];
    value = negative ? -v : v;
    return true;
}

Q_ALWAYS_INLINE std::optional<double> toDouble(QByteArrayView text)
{
    double value;
    if (usualDecimal(text, value))
        return value;
    return readDecimal(text);
}

// Sign and decimal logarithm of a number written in decimal form (blanks
// around it and a leading "+" allowed, as Qt allows them), computed from its
// mantissa and exponent, so it also serves numbers outside a double's range
// such as "1e-400" (log10 -400). Empty for any other text and for zero.
struct DecimalMagnitude {
    bool negative = false;
    double log10 = 0;
};
std::optional<DecimalMagnitude> decimalMagnitude(QByteArrayView text);
