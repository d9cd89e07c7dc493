// The fast number conversions against Qt's on arbitrary text
// (numbercheck.h); a broken rule aborts, which libFuzzer reports as a crash.
#include "numbercheck.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const char *broken = brokenNumberRule(text)) {
        std::fprintf(stderr, "broken rule: %s, for the text \"%s\"\n", broken,
                     text.toByteArray().toPercentEncoding(" +-.eE").constData());
        std::abort();
    }
    return 0;
}
