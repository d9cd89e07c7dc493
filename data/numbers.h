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
// "nan" and "inf").
std::optional<double> toDouble(QByteArrayView text);

// Sign and decimal logarithm of a number written in decimal form (blanks
// around it and a leading "+" allowed, as Qt allows them), computed from its
// mantissa and exponent, so it also serves numbers outside a double's range
// such as "1e-400" (log10 -400). Empty for any other text and for zero.
struct DecimalMagnitude {
    bool negative = false;
    double log10 = 0;
};
std::optional<DecimalMagnitude> decimalMagnitude(QByteArrayView text);
