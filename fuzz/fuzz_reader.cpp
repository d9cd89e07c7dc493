// Feeds arbitrary bytes to the reader as a data file: layout detection, the
// genome-wide load and, for every run of the table it builds, the chromosome
// load. Any bytes must end in a fault or a load that holds together
// (invariants.h), and the same bytes gzipped (or bgzipped, by the first
// byte's parity) load exactly alike, and read their runs back from their own
// offsets.
// Bytes that start with the gzip magic bytes are read decompressed, so the
// fuzzer also reaches damaged compressed data (seeds: corpus/reader/*.gz);
// bytes that start as VCF or BCF go through htslib's VCF/BCF reader
// (seeds: corpus/reader/gwas.*).
// A broken rule aborts, which libFuzzer reports as a crash.
#include "invariants.h"

#include <htslib/bgzf.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void require(bool ok, const char *rule)
{
    if (!ok) {
        std::fprintf(stderr, "broken rule: %s\n", rule);
        std::abort();
    }
}

const QString &dataPath()
{
    static const QString path =
        QDir::tempPath() + QStringLiteral("/tivrel-fuzz-%1.txt").arg(qint64(::getpid()));
    return path;
}

void writeData(const std::uint8_t *data, std::size_t size, const char *compression)
{
    if (compression) {
        BGZF *out = bgzf_open(QFile::encodeName(dataPath()).constData(), compression);
        require(out && bgzf_write(out, data, size) == ssize_t(size) && bgzf_close(out) == 0,
                "the data file can be written compressed");
        return;
    }
    QFile file(dataPath());
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the data file can be written");
    file.write(reinterpret_cast<const char *>(data), qint64(size));
}

bool sameBits(const QList<double> &a, const QList<double> &b)
{
    return a.size() == b.size() && std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(double)) == 0;
}

void checkLoad(const GenomeWide &g)
{
    const QString broken = brokenLoadRule(g, dataPath());
    require(broken.isEmpty(), qPrintable(broken));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::atexit([]() { QFile::remove(dataPath()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    writeData(data, size, nullptr);
    const GenomeWide g = loadGenomeWide(dataPath());
    checkLoad(g);
    if (size >= 2 && data[0] == 0x1f && data[1] == 0x8b)
        return 0; // read decompressed already: compressed again it reads otherwise
    writeData(data, size, size > 0 && data[0] % 2 ? "w1" : "wg1");
    const GenomeWide packed = loadGenomeWide(dataPath());
    require(packed.fault == g.fault, "compressed, the same fault");
    if (packed.fault != Fault::None)
        return 0;
    require(packed.x == g.x && sameBits(packed.scores, g.scores) && packed.table.tags == g.table.tags
                && packed.table.startIndex == g.table.startIndex,
            "compressed, the same points and runs");
    checkLoad(packed);
    return 0;
}
