// Feeds arbitrary bytes to the reader as a data file: layout detection, the
// genome-wide load and, for every run of the table it builds, the chromosome
// load. Any bytes must end in a fault or a load that holds together
// (invariants.h); read in chunks of a few bytes on three threads, they load
// exactly alike (the same fault, points, runs and offsets); and the same
// bytes compressed (gzip, bgzip, zstd, or two gzip members, by the first
// byte) load exactly alike, and read their runs back from their own offsets
// (a gzip file's from seek points a few bytes apart).
// Bytes that start with the gzip or zstd magic bytes are read decompressed,
// so the fuzzer also reaches damaged compressed data (seeds:
// corpus/reader/*.gz); bytes that start as VCF or BCF go through htslib's
// VCF/BCF reader (seeds: corpus/reader/gwas.*). A broken rule aborts, which
// libFuzzer reports as a crash.
#include "invariants.h"
#include "magic.h"

#include <htslib/bgzf.h>
#include <zstd.h>

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

void writeData(QByteArrayView bytes)
{
    QFile file(dataPath());
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && file.write(bytes.data(), bytes.size()) == bytes.size(),
            "the data file can be written");
}

// The bytes as htslib writes them in the mode ("wg1" gzip, "w1" bgzip).
QByteArray compressed(QByteArrayView bytes, const char *mode)
{
    BGZF *out = bgzf_open(QFile::encodeName(dataPath()).constData(), mode);
    require(out && bgzf_write(out, bytes.data(), size_t(bytes.size())) == ssize_t(bytes.size())
                && bgzf_close(out) == 0,
            "the data file can be written compressed");
    QFile file(dataPath());
    require(file.open(QIODevice::ReadOnly), "the compressed file can be read");
    return file.readAll();
}

QByteArray zstdCompressed(QByteArrayView bytes)
{
    QByteArray packed(qsizetype(ZSTD_compressBound(size_t(bytes.size()))), '\0');
    const size_t size = ZSTD_compress(packed.data(), size_t(packed.size()), bytes.data(), size_t(bytes.size()), 1);
    require(!ZSTD_isError(size), "the bytes compress with zstd");
    packed.resize(qsizetype(size));
    return packed;
}

bool sameBits(const QList<double> &a, const QList<double> &b)
{
    return a.size() == b.size()
        && (a.isEmpty() || std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(double)) == 0);
}

// The same fault, or the same points and runs (what a faulty load holds is never used).
void requireSameLoad(const GenomeWide &a, const GenomeWide &b, const char *rule)
{
    require(a.fault == b.fault && a.columns == b.columns, rule);
    require(a.fault != Fault::None
                || (a.x == b.x && sameBits(a.scores, b.scores) && a.table.tags == b.table.tags
                    && a.table.startIndex == b.table.startIndex && a.table.endIndex == b.table.endIndex
                    && a.table.startValue == b.table.startValue && a.table.endValue == b.table.endValue
                    && a.table.colorValue == b.table.colorValue),
            rule);
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
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    writeData(bytes);
    const GenomeWide g = loadGenomeWide(dataPath());
    checkLoad(g);
    // Chunks of a few bytes, so their borders fall everywhere: inside a
    // line, a CR LF, a UTF-8 character, a quoted field.
    LoadOptions chunked;
    chunked.chunkSize = size > 0 ? 1 + data[size - 1] % 61 : 1;
    chunked.threads = 3;
    const GenomeWide inChunks = loadGenomeWide(dataPath(), chunked);
    requireSameLoad(inChunks, g, "in chunks on threads, the same load");
    require(g.fault != Fault::None || inChunks.table.startOffset == g.table.startOffset, "in chunks, the same offsets");

    if (startsCompressed(bytes))
        return 0; // read decompressed already: compressed again it reads otherwise
    // htslib reads VCF and BCF plain, gzipped and bgzipped, not as zstd.
    const bool vcf = bytes.startsWith("##fileformat=VCF") || bytes.startsWith("BCF\2");
    const int form = size > 0 ? data[0] % (vcf ? 3 : 4) : 0;
    const bool twoMembers = form == (vcf ? 2 : 3);
    const qsizetype half = bytes.size() / 2;
    writeData(twoMembers  ? compressed(bytes.first(half), "wg1") + compressed(bytes.sliced(half), "wg1")
              : form == 0 ? compressed(bytes, "wg1")
              : form == 1 ? compressed(bytes, "w1")
                          : zstdCompressed(bytes));
    LoadOptions packedOptions = chunked;
    packedOptions.seekPointDistance = size > 1 ? 1 + data[1] % 97 : 1;
    const GenomeWide packed = loadGenomeWide(dataPath(), packedOptions);
    requireSameLoad(packed, g, "compressed, the same load");
    checkLoad(packed);
    return 0;
}
