// Feeds arbitrary bytes to the reader as a data file: layout detection, the
// genome-wide load and, for every run of the table it builds, the chromosome
// load. Any bytes must end in a fault or a load that holds together:
//   - the table's runs cover the points end to end, their x ranges follow
//     each other without a gap, the first point has x = 1;
//   - every score is finite;
//   - reading a run back from its recorded offset gives exactly that run's
//     points (a run of one point: the "too few rows" fault), with positions
//     whose hundreds step the same as the genome-wide x did;
//   - read in chunks of a few bytes on three threads, the file loads exactly
//     alike: the same fault, points, runs and offsets;
//   - the same bytes compressed (gzip, bgzip, zstd, or two gzip members, by
//     the first byte) load exactly alike, and read their runs back from
//     their own offsets (a gzip file's from seek points a few bytes apart).
// Bytes that start with the gzip or zstd magic bytes are read decompressed,
// so the fuzzer also reaches damaged compressed data (seeds:
// corpus/reader/*.gz). A broken rule aborts, which libFuzzer reports as a
// crash.
#include "data/loads.h"

#include <htslib/bgzf.h>
#include <zstd.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <cmath>
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
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes.data(), bytes.size()) == bytes.size(),
            "the data file can be written");
}

// The bytes as htslib writes them in the mode ("wg1" gzip, "w1" bgzip).
QByteArray compressed(QByteArrayView bytes, const char *mode)
{
    BGZF *out = bgzf_open(QFile::encodeName(dataPath()).constData(), mode);
    require(out && bgzf_write(out, bytes.data(), size_t(bytes.size())) == ssize_t(bytes.size()) && bgzf_close(out) == 0,
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

void checkTable(const GenomeWide &g)
{
    const ChromosomeTable &t = g.table;
    const qsizetype n = t.tags.size();
    require(g.x.size() >= 2 && g.x.size() == g.scores.size(), "at least two points, lists aligned");
    require(n >= 1 && t.startIndex.size() == n && t.endIndex.size() == n && t.startValue.size() == n
                && t.endValue.size() == n && t.colorValue.size() == n && t.startOffset.size() == n,
            "table sequences of one length");
    require(t.startIndex[0] == 0 && t.endIndex[n - 1] == g.x.size() - 1, "runs cover every point");
    require(g.x[0] == 1, "the first point has x = 1");
    for (qsizetype k = 0; k < n; ++k) {
        require(t.startIndex[k] <= t.endIndex[k], "a run holds a point");
        require(t.startValue[k] == g.x[t.startIndex[k]] && t.endValue[k] == g.x[t.endIndex[k]],
                "run x values are those of its first and last point");
        require(t.colorValue[k] == (k % 2 == 0 ? 255 : 50), "run colours alternate");
        if (k > 0) {
            require(t.startIndex[k] == t.endIndex[k - 1] + 1, "runs follow each other");
            require(t.startValue[k] == t.endValue[k - 1] + 1, "no gap between runs on the x axis");
            require(t.tags[k] != t.tags[k - 1], "neighbouring runs have different labels");
        }
    }
    for (const double score : g.scores)
        require(std::isfinite(score), "scores are finite");
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

void checkRunReadBack(const GenomeWide &g, qsizetype k)
{
    const ChromosomeTable &t = g.table;
    const int first = t.startIndex[k];
    const int count = t.endIndex[k] - first + 1;
    const ChromosomeRun run = loadRun(dataPath(), t.startOffset[k], t.tags[k], count, g.seekPoints);
    if (count == 1) {
        require(run.fault == Fault::TooFewRowsChromosome, "a run of one point is too short to show");
        return;
    }
    require(run.fault == Fault::None, "a run of a good file reads back");
    require(run.positions.size() == count && run.scores.size() == count, "the run reads back whole");
    for (int j = 0; j < count; ++j) {
        require(std::memcmp(&run.scores[j], &g.scores[first + j], sizeof(double)) == 0,
                "scores read back bit for bit");
        const qint64 x = qint64(t.startValue[k]) + run.positions[j] / 100 - run.positions[0] / 100;
        require(x == g.x[first + j], "positions read back give the genome-wide x");
    }
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
    if (g.fault == Fault::None) {
        checkTable(g);
        for (qsizetype k = 0; k < g.table.tags.size(); ++k)
            checkRunReadBack(g, k);
    }
    // Chunks of a few bytes, so their borders fall everywhere: inside a
    // line, a CR LF, a UTF-8 character, a quoted field.
    LoadOptions chunked;
    chunked.chunkSize = size > 0 ? 1 + data[size - 1] % 61 : 1;
    chunked.threads = 3;
    const GenomeWide inChunks = loadGenomeWide(dataPath(), chunked);
    requireSameLoad(inChunks, g, "in chunks on threads, the same load");
    require(g.fault != Fault::None || inChunks.table.startOffset == g.table.startOffset, "in chunks, the same offsets");

    if (bytes.startsWith("\x1f\x8b") || bytes.startsWith("\x28\xb5\x2f\xfd"))
        return 0; // read decompressed already: compressed again it reads otherwise
    const int form = size > 0 ? data[0] % 4 : 0;
    const qsizetype half = bytes.size() / 2;
    writeData(form == 0   ? compressed(bytes, "wg1")
              : form == 1 ? compressed(bytes, "w1")
              : form == 2 ? zstdCompressed(bytes)
                          : compressed(bytes.first(half), "wg1") + compressed(bytes.sliced(half), "wg1"));
    LoadOptions packedOptions = chunked;
    packedOptions.seekPointDistance = size > 1 ? 1 + data[1] % 97 : 1;
    const GenomeWide packed = loadGenomeWide(dataPath(), packedOptions);
    requireSameLoad(packed, g, "compressed, the same load");
    if (packed.fault != Fault::None)
        return 0;
    for (qsizetype k = 0; k < packed.table.tags.size(); ++k)
        checkRunReadBack(packed, k);
    return 0;
}
