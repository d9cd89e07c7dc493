// Feeds arbitrary bytes to the reader as a data file: layout detection, the
// genome-wide load and, for every run of the table it builds, the chromosome
// load. Any bytes must end in a fault or a load that holds together:
//   - the table's runs cover the points end to end, their x ranges follow
//     each other without a gap, the first point has x = 1;
//   - every score is finite;
//   - reading a run back from its recorded offset gives exactly that run's
//     points (a run of one point: the "too few rows" fault), with positions
//     whose hundreds step the same as the genome-wide x did;
//   - the same bytes gzipped (or bgzipped, by the first byte's parity) load
//     exactly alike, and read their runs back from their own offsets.
// Bytes that start with the gzip magic bytes are read decompressed, so the
// fuzzer also reaches damaged compressed data (seeds: corpus/reader/*.gz).
// A broken rule aborts, which libFuzzer reports as a crash.
#include "data/loads.h"

#include <htslib/bgzf.h>

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

void checkRunReadBack(const GenomeWide &g, qsizetype k)
{
    const ChromosomeTable &t = g.table;
    const int first = t.startIndex[k];
    const int count = t.endIndex[k] - first + 1;
    const ChromosomeRun run = loadRun(dataPath(), t.startOffset[k], t.tags[k], count);
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
    writeData(data, size, nullptr);
    const GenomeWide g = loadGenomeWide(dataPath());
    if (g.fault == Fault::None) {
        checkTable(g);
        for (qsizetype k = 0; k < g.table.tags.size(); ++k)
            checkRunReadBack(g, k);
    }
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
    for (qsizetype k = 0; k < packed.table.tags.size(); ++k)
        checkRunReadBack(packed, k);
    return 0;
}
