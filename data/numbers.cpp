#include "numbers.h"

#include "vectorstate.h"

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

// A decimal number's text taken apart, before any conversion: both
// conversions below start from this one reading of the text.
struct ParsedDecimal {
    bool valid = false;   // [blanks][sign]digits[.digits][e[sign]digits][blanks]
    bool plain = false;   // valid, and exactly "-?D+(.D+)?([eE][+-]?D+)?"
    bool negative = false;
    quint64 mantissa = 0; // the first kMantissaDigits significant digits
    qint64 exponent = 0;  // the number is mantissa * 10^exponent, give or take dropped digits
};

constexpr int kMantissaDigits = 19; // a quint64 holds any 19 digits
constexpr qint64 kExponentCap = 1000000000000000LL; // keeps the sums far from overflow

// The digits of [first, point) and (point, last), where point may be last:
// the first kMantissaDigits significant ones as a mantissa, and the power of
// ten that scales it. For texts of more digits than a quint64 holds.
std::pair<quint64, qint64> keepSignificantDigits(const char *first, const char *point, const char *last)
{
    quint64 mantissa = 0;
    qint64 exponent = 0;
    int kept = 0;
    for (const char *p = first; p != last; ++p) {
        if (p == point)
            continue;
        const bool fraction = p > point;
        const unsigned digit = unsigned(*p - '0');
        if (mantissa == 0 && digit == 0) { // a leading zero
            if (fraction)
                --exponent;
        } else if (kept < kMantissaDigits) {
            mantissa = mantissa * 10 + digit;
            ++kept;
            if (fraction)
                --exponent;
        } else if (!fraction) { // no room: an integer digit still scales the number
            ++exponent;
        }
    }
    return {mantissa, exponent};
}

// Inlined into both conversions, so that its result stays in registers.
Q_ALWAYS_INLINE ParsedDecimal scanDecimal(QByteArrayView text)
{
    ParsedDecimal d;
    const char *p = text.data(), *end = p + text.size();
    // Every blank lies at or below ' ': one comparison for the usual digit.
    while (p != end && quint8(*p) <= ' ' && isAsciiSpace(*p))
        ++p;
    while (end != p && quint8(end[-1]) <= ' ' && isAsciiSpace(end[-1]))
        --end;
    const bool blanks = p != text.data() || end != text.data() + text.size();
    bool negative = false, plusSign = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        plusSign = !negative;
        ++p;
    }
    // All digits go into the mantissa, as fast_float does; where they are
    // more than it holds, they are read again below.
    const char *const first = p;
    quint64 mantissa = 0;
    for (; p != end && isDigit(*p); ++p)
        mantissa = mantissa * 10 + unsigned(*p - '0');
    const qsizetype integerDigits = p - first;
    const char *point = p;
    qsizetype fractionDigits = 0;
    if (p != end && *p == '.') {
        ++p;
        const char *const fraction = p;
        for (; p != end && isDigit(*p); ++p)
            mantissa = mantissa * 10 + unsigned(*p - '0');
        fractionDigits = p - fraction;
    }
    const char *const last = p;
    if (integerDigits == 0 && fractionDigits == 0)
        return d;
    qint64 exponent = -fractionDigits;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) {
            negativeExponent = *p == '-';
            ++p;
        }
        const char *start = p;
        qint64 e = 0;
        for (; p != end && isDigit(*p); ++p)
            e = std::min(e * 10 + (*p - '0'), kExponentCap);
        if (p == start)
            return d;
        exponent += negativeExponent ? -e : e;
    }
    if (p != end)
        return d;
    if (integerDigits + fractionDigits > kMantissaDigits) {
        const auto [kept, scale] = keepSignificantDigits(first, point, last);
        mantissa = kept;
        exponent += fractionDigits + scale;
    }
    d.valid = true;
    d.plain = !blanks && !plusSign && integerDigits > 0 && (point == last || fractionDigits > 0);
    d.negative = negative;
    d.mantissa = mantissa;
    d.exponent = exponent;
    return d;
}

// Clinger's fast path: where the mantissa and the power of ten are both
// exact doubles, one correctly rounded multiplication or division gives the
// correctly rounded value, as Qt's conversion does. Zero is left to Qt,
// which decides the sign of "-0" and the fate of "0e-400".
std::optional<double> exactSmallDecimal(const ParsedDecimal &d)
{
    static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    // Also refuses every text whose digits did not all fit (19 digits > 2^53).
    constexpr quint64 kExactMantissa = quint64(1) << 53;
    constexpr qint64 kExactPower = 22;
    if (!d.plain || d.mantissa == 0 || d.mantissa > kExactMantissa || d.exponent < -kExactPower
        || d.exponent > kExactPower)
        return std::nullopt;
    const double m = double(d.mantissa);
    const double v = d.exponent < 0 ? m / powers[-d.exponent] : m * powers[d.exponent];
    return d.negative ? -v : v;
}

} // namespace

std::optional<double> readDecimal(QByteArrayView text)
{
    const ParsedDecimal d = scanDecimal(text);
    if (const auto exact = exactSmallDecimal(d))
        return exact;
    if (d.plain) {
        const char *begin = text.data(), *end = begin + text.size();
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
    const ParsedDecimal d = scanDecimal(text);
    if (!d.valid || d.mantissa == 0)
        return std::nullopt;
    // 19 digits are plenty for a 6-digit score.
    return DecimalMagnitude{d.negative, log10ClearingVectorState(double(d.mantissa)) + double(d.exponent)};
}
