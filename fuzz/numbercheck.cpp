#include "numbercheck.h"

#include "data/numbers.h"

#include <cstring>

const char *brokenNumberRule(QByteArrayView text)
{
    const auto fastInt = toInt32(text);
    const auto qtInt = qtToInt32(text);
    if (fastInt.has_value() != qtInt.has_value())
        return "toInt32 accepts what QString::toInt accepts";
    if (fastInt && *fastInt != *qtInt)
        return "toInt32 gives QString::toInt's value";
    const auto fastDouble = toDouble(text);
    const auto qtDouble = qtToDouble(text);
    if (fastDouble.has_value() != qtDouble.has_value())
        return "toDouble accepts what QString::toDouble accepts";
    if (fastDouble && std::memcmp(&*fastDouble, &*qtDouble, sizeof(double)) != 0)
        return "toDouble gives QString::toDouble's value bit for bit";
    // Below about 2.5e-324 a double rounds to zero; above 1.8e308 it overflows.
    const auto magnitude = qtDouble ? std::nullopt : decimalMagnitude(text);
    if (magnitude && magnitude->log10 >= -323 && magnitude->log10 <= 308)
        return "a number read beside Qt lies outside a double's range";
    return nullptr;
}
