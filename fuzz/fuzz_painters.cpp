// Feeds arbitrary bytes to the two painters as points, a chromosome table, a
// typed range and drawing options, and compares their pictures with the
// reference painters' byte for byte (reference.h). A difference aborts, which
// libFuzzer reports as a crash.
//
// Bytes: flags (threshold lines, segments, position scale), the number of
// table entries, each entry's start (2 bytes), the typed range (2 x 2
// bytes), then 4 bytes per point: position (3 bytes, signed, scaled) and
// score (1 byte, in sixteenths).
#include "reference.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen"); // text needs a font database, and so an application
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::size_t at = 0;
    const auto take = [&](int bytes) {
        qint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | (at < size ? data[at++] : 0);
        return v - (qint64(1) << (8 * bytes - 1)); // signed around 0
    };
    const int flags = int(take(1) + 128), entries = 1 + int(take(1) + 128) % 6;
    const int scale = QList{1, 10, 100, 1000}[(flags >> 2) % 4];
    ReferenceTable table;
    for (int k = 0; k < entries; ++k) {
        table.startValue << int(take(2)) * scale;
        table.colorValue << (k % 2 ? 50 : 255);
        table.tags << QStringList{"1", "2", "3", "1", "X", "Y\u2028Y\u2028Y\u2028Y"}[k]; // the last above the bottom lines
    }
    const QString range = QString("%1-%2").arg(take(2) * scale).arg(take(2) * scale);
    QList<int> positions;
    QList<double> values;
    while (at < size) {
        positions << int(take(3) * scale / 10);
        values << double(take(1) + 128) / 16;
    }
    const QString broken = paintMismatch(positions, values, table, flags & 1, flags & 2, range, QString(), {640, 480});
    if (!broken.isEmpty()) {
        std::fprintf(stderr, "the painters differ from the reference: %s\n", qPrintable(broken));
        std::abort();
    }
    return 0;
}
