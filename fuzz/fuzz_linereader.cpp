// Feeds arbitrary bytes to the line reader as a file, plain and (by the
// first byte's parity) gzipped or bgzipped, and holds it to linecheck.h. A
// broken rule aborts, which libFuzzer reports as a crash.
#include "linecheck.h"
#include "magic.h"

#include <htslib/bgzf.h>

#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QString dataPath(const char *suffix)
{
    return QDir::tempPath() + QStringLiteral("/tivrel-fuzz-lines-%1.%2").arg(qint64(::getpid())).arg(suffix);
}

void check(const QString &path, const QStringList &lines, bool empty)
{
    const QString broken = brokenLineRule(path, lines, empty);
    if (!broken.isEmpty()) {
        std::fprintf(stderr, "broken rule: %s\n", qPrintable(broken));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Compressed bytes are read decompressed: not the stream's lines (the
    // reader fuzzer's part).
    if (startsCompressed(QByteArrayView(data, qsizetype(size))))
        return 0;
    const QString plain = dataPath("txt"), packed = dataPath("gz");
    QFile file(plain);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    const QStringList lines = textStreamLines(plain);
    check(plain, lines, size == 0);
    BGZF *out = bgzf_open(QFile::encodeName(packed).constData(), size > 0 && data[0] % 2 ? "w1" : "wg1");
    if (!out || bgzf_write(out, data, size) != ssize_t(size) || bgzf_close(out) != 0)
        std::abort();
    check(packed, lines, size == 0);
    QFile::remove(plain);
    QFile::remove(packed);
    return 0;
}
