#include "numbers.h"

#include <QString>

#include <cfloat>
#include <charconv>
#include <cmath>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Length of the run of digits starting at i.
qsizetype digitRun(QByteArrayView t, qsizetype i)
{
    qsizetype j = i;
    while (j < t.size() && isDigit(t[j]))
        ++j;
    return j - i;
}

// True for "-?D+(.D+)?([eE][+-]?D+)?", the form real files use.
bool isPlainDecimal(QByteArrayView t)
{
    qsizetype i = 0;
    if (i < t.size() && t[i] == '-')
        ++i;
    qsizetype n = digitRun(t, i);
    if (n == 0)
        return false;
    i += n;
    if (i < t.size() && t[i] == '.') {
        n = digitRun(t, i + 1);
        if (n == 0)
            return false;
        i += 1 + n;
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        n = digitRun(t, i);
        if (n == 0)
            return false;
        i += n;
    }
    return i == t.size();
}

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::optional<int> qtToInt32(QByteArrayView text)
{
    bool ok = false;
    const int v = QString::fromUtf8(text).toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return v;
}

std::optional<double> qtToDouble(QByteArrayView text)
{
    bool ok = false;
    const double v = QString::fromUtf8(text).toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

std::optional<int> toInt32(QByteArrayView text)
{
    // Fast path: an optional minus and at most 9 digits cannot overflow.
    const char *p = text.data();
    const qsizetype n = text.size();
    const qsizetype start = (n > 0 && p[0] == '-') ? 1 : 0;
    if (n - start >= 1 && n - start <= 9) {
        int v = 0;
        qsizetype i = start;
        for (; i < n && isDigit(p[i]); ++i)
            v = v * 10 + (p[i] - '0');
        if (i == n)
            return start ? -v : v;
    }
    return qtToInt32(text);
}

std::optional<double> toDouble(QByteArrayView text)
{
    if (isPlainDecimal(text)) {
        double v = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        // Zero, subnormal and out-of-range results go to Qt, whose verdict on
        // underflow differs from from_chars.
        if (ec == std::errc() && end == text.data() + text.size() && std::isfinite(v)
            && std::fabs(v) >= DBL_MIN)
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
