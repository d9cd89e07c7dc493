// The fast number conversions against Qt's on arbitrary text: toInt32 must
// accept exactly the texts that QString::toInt (base 10) accepts and toDouble
// exactly those that QString::toDouble accepts, with bit-identical values.
// And the reading of numbers beyond a double's range, which serves only texts
// that Qt refuses, must never take a number that Qt would have read: what it
// takes Qt refused for being too small or too large.
#include "data/numbers.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void require(bool ok, const char *rule, QByteArrayView text)
{
    if (!ok) {
        std::fprintf(stderr, "broken rule: %s, for the text \"%s\"\n", rule,
                     QByteArray(text.data(), text.size()).toPercentEncoding(" +-.eE").constData());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));

    const auto fastInt = toInt32(text);
    const auto qtInt = qtToInt32(text);
    require(fastInt.has_value() == qtInt.has_value(), "toInt32 accepts what QString::toInt accepts", text);
    if (fastInt)
        require(*fastInt == *qtInt, "toInt32 gives QString::toInt's value", text);

    const auto fastDouble = toDouble(text);
    const auto qtDouble = qtToDouble(text);
    require(fastDouble.has_value() == qtDouble.has_value(), "toDouble accepts what QString::toDouble accepts",
            text);
    if (fastDouble)
        require(std::memcmp(&*fastDouble, &*qtDouble, sizeof(double)) == 0,
                "toDouble gives QString::toDouble's value bit for bit", text);

    if (!qtDouble) {
        // Below about 2.5e-324 a double rounds to zero; above 1.8e308 it overflows.
        if (const auto magnitude = decimalMagnitude(text))
            require(magnitude->log10 < -323 || magnitude->log10 > 308,
                    "a number read beside Qt lies outside a double's range", text);
    }
    return 0;
}
