// Number conversion for data fields, giving exactly what QString::toInt
// (base 10) and QString::toDouble give, with a fast path for plain forms.
#pragma once

#include <QByteArrayView>
#include <optional>

// A field's text as a base-10, 32-bit signed integer, as QString::toInt.
std::optional<int> toInt32(QByteArrayView text);

// A field's text as a double, as QString::toDouble (which also accepts
// "nan" and "inf").
std::optional<double> toDouble(QByteArrayView text);

// Sign and decimal logarithm of a number written in decimal form, computed
// from its mantissa and exponent, so it also serves numbers outside a
// double's range such as "1e-400" (log10 -400). Empty for any other text and
// for zero.
struct DecimalMagnitude {
    bool negative = false;
    double log10 = 0;
};
std::optional<DecimalMagnitude> decimalMagnitude(QByteArrayView text);

// What the Qt conversions alone give; the fast path must agree with these.
std::optional<int> qtToInt32(QByteArrayView text);
std::optional<double> qtToDouble(QByteArrayView text);
