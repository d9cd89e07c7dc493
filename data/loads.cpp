#include "loads.h"

#include "chunkedrows.h"
#include "linereader.h"

#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <climits>
#include <optional>
#include <cstring>
#include <vector>

namespace {

// Each run ends where the next begins; its red is 255 for the first run,
// then alternately 50 and 255.
void closeRuns(ChromosomeTable &t, const QList<int> &x)
{
    // Appended, not resized and overwritten: a file sorted by p-value has a
    // run at nearly every row.
    const qsizetype n = t.startIndex.size();
    t.endIndex.reserve(n);
    t.endValue.reserve(n);
    t.colorValue.reserve(n);
    for (qsizetype k = 0; k < n; ++k) {
        const int end = k + 1 < n ? t.startIndex[k + 1] - 1 : int(x.size() - 1);
        t.endIndex.append(end);
        t.endValue.append(x[end]);
        t.colorValue.append(k % 2 == 0 ? 255 : 50);
    }
}

// Whether a label read from the file is the given label's text. Different
// bytes can be the same text only where they are not plain UTF-8 (bytes
// that decode to U+FFFD, a byte-order mark that decoding drops); only those
// are decoded, so lines of other labels cost no allocation.
bool sameLabel(QByteArrayView bytes, const QByteArray &labelBytes, const QString &label)
{
    if (bytes == QByteArrayView(labelBytes))
        return true;
    if (bytes.isValidUtf8() && !bytes.startsWith("\xef\xbb\xbf"))
        return false;
    return QString::fromUtf8(bytes) == label;
}

// What stopped the reader: damaged compressed data, or a VCF record.
Fault damage(const LineReader &reader)
{
    return reader.unreadableRecord() ? Fault::BadVcfRecord : Fault::DamagedCompressed;
}

// A line that looks wrong in a damaged compressed file is the damage's doing.
Fault rowFault(LineReader &reader, Fault fault)
{
    return reader.restIsDamaged() ? damage(reader) : fault;
}

// Opens the file and settles its layout; damaged compressed data is told
// whatever the layout step made of it, also where the text it read so far
// looked wrong.
LayoutResult openReader(LineReader &reader, const QString &path)
{
    LayoutResult result = openDataFile(reader, path);
    if (reader.damaged() || (result.fault != Fault::None && reader.restIsDamaged()))
        result.fault = damage(reader);
    return result;
}

} // namespace

FileStamp fileStamp(const QString &path)
{
    const QFileInfo info(path);
    FileStamp stamp;
    if (info.exists()) {
        stamp.size = info.size();
        stamp.modified = info.lastModified();
    }
    return stamp;
}

namespace {

// One per core the process may run on; a few at most, for memory's sake.
int threadsFor(const LoadOptions &options)
{
    return options.threads > 0 ? options.threads : std::clamp(QThread::idealThreadCount(), 1, 8);
}

} // namespace

GenomeWide loadGenomeWide(const QString &path, const LoadOptions &options)
{
    GenomeWide g;
    g.stamp = fileStamp(path);
    LineReader reader;
    reader.setSeekPointDistance(options.seekPointDistance);
    const LayoutResult opened = openReader(reader, path);
    g.fault = opened.fault;
    if (g.fault != Fault::None)
        return g;
    g.columns = opened.columns;
    const Layout &layout = opened.layout;
    ChromosomeTable &t = g.table;
    qint64 shift = 0; // x - q within the current run
    int previousX = 0; // x of the last row joined

    ChunkedRows chunks(reader, layout, options.chunkSize, threadsFor(options));
    while (ChunkRows *rows = chunks.next()) {
        const qsizetype first = g.scores.size(), n = rows->q.size(), starts = rows->startRows.size();
        // The chunk's first row may carry on the run before it.
        const qsizetype carried = !t.tags.isEmpty() && starts > 0 && rows->startTags[0] == t.tags.constLast();
        int *q = rows->q.data(), *startRows = rows->startRows.data();
        rows->startValues.resize(starts);
        int *startValues = rows->startValues.data();
        for (qsizetype r = 0; r < starts; ++r) {
            const qsizetype from = startRows[r], to = r + 1 < starts ? startRows[r + 1] : n;
            if (r >= carried) {
                // Where each run ends is filled in afterwards.
                const qint64 offsetX = first + from > 0 ? previousX : 0; // x of the row before the run
                shift = offsetX + 1 - q[from];
                startRows[r] = int(first + from);
                startValues[r] = int(offsetX + 1);
            }
            // Each position's hundreds become its x, in place.
            for (qsizetype i = from; i < to; ++i) {
                const qint64 value = q[i] + shift;
                if (value < INT_MIN || value > INT_MAX) {
                    g.fault = rowFault(reader, Fault::GenomeWideOverflow);
                    return g;
                }
                q[i] = int(value);
            }
            previousX = q[to - 1];
        }
        // Appended whole, growing by realloc: a big block moves without a copy.
        g.x.append(rows->q);
        g.scores.append(rows->scores);
        t.startIndex.append(rows->startRows.cbegin() + carried, rows->startRows.cend());
        t.startValue.append(rows->startValues.cbegin() + carried, rows->startValues.cend());
        t.startOffset.append(rows->startOffsets.cbegin() + carried, rows->startOffsets.cend());
        if (carried)
            rows->startTags.removeFirst();
        t.tags.append(std::move(rows->startTags));
        if (rows->fault != Fault::None) {
            g.fault = rowFault(reader, rows->fault);
            return g;
        }
    }
    if (reader.damaged()) {
        g.fault = damage(reader);
        return g;
    }
    if (g.scores.size() < 2) {
        g.fault = Fault::TooFewRowsGenomeWide;
        return g;
    }
    closeRuns(t, g.x);
    g.seekPoints = reader.seekPoints();
    return g;
}

namespace {

// A run whose label an earlier run had already, as in a file sorted by
// p-value: where two runs of one label follow each other on the x axis,
// their labels are told apart only by the runs between. Labels are
// chromosomes, a few hundred at most; a file of far more distinct labels
// than that labels something else, and is not searched further.
std::optional<qsizetype> returningRun(const QStringList &tags)
{
    constexpr qsizetype kLabels = 100000;
    QSet<QString> seen;
    for (qsizetype k = 0; k < tags.size() && seen.size() < kLabels; ++k) {
        if (seen.contains(tags[k]))
            return k;
        seen.insert(tags[k]);
    }
    return std::nullopt;
}

} // namespace

QStringList genomeWideLog(const GenomeWide &g)
{
    QStringList lines;
    if (!g.columns.isEmpty())
        lines << g.columns;
    if (g.fault == Fault::None) {
        if (const auto k = returningRun(g.table.tags)) {
            lines << QStringLiteral("Data file is not sorted by chromosome (\"%1\" comes back after \"%2\"): "
                                    "each run of a chromosome is drawn on its own")
                         .arg(g.table.tags[*k], g.table.tags[*k - 1]);
        }
    }
    if (g.fault != Fault::None)
        lines << faultMessage(g.fault);
    return lines;
}

namespace {

// Where a chromosome load starts and how its run ends.
struct RunStart {
    qint64 offset = 0; // the run's first kept row
    int count = 0;     // its kept rows
};

// From a remembered start, the run's `count` kept rows: another label's
// "NA" and zero rows do not end it, as they did not in the genome-wide
// load; anything else of another label does. Without one, the first block
// of the label from the start of the file: any later non-empty line of
// another label ends it, and lines before it are only split and compared.
ChromosomeRun readRun(const QString &path, const QString &label, const std::optional<RunStart> &start,
                      std::shared_ptr<const SeekPoints> seekPoints = nullptr)
{
    ChromosomeRun run;
    LineReader reader;
    const LayoutResult opened = openReader(reader, path);
    reader.useSeekPoints(std::move(seekPoints));
    reader.decompressAhead();
    run.fault = opened.fault;
    if (run.fault != Fault::None)
        return run;
    run.layoutSettled = true;
    const Layout &layout = opened.layout;
    // An offset the file no longer reaches: damaged compressed data, or a
    // file changed since the genome-wide load, never rows from elsewhere.
    if (start && !reader.seek(start->offset)) {
        run.fault = reader.damaged() && !reader.unreadableRecord() ? Fault::DamagedCompressed : Fault::TooFewRowsChromosome;
        return run;
    }
    const int count = start ? start->count : INT_MAX;
    const QByteArray labelBytes = label.toUtf8();
    bool inBlock = false; // a line of the label has been read
    QByteArrayView line;
    qint64 lineOffset = 0;
    while (run.positions.size() < count && reader.readLine(line, lineOffset)) {
        if (line.isEmpty())
            continue;
        const Row row = convertRow(line, layout);
        if (row.kind == Row::Bad && row.fault == Fault::MissingColumns) {
            run.fault = rowFault(reader, row.fault);
            return run;
        }
        // Only the label's own lines count as converted: another label's
        // bad values are not this load's business.
        if (!sameLabel(row.label, labelBytes, label)) {
            if (start ? row.kind != Row::Skipped : inBlock)
                break;
            continue;
        }
        inBlock = true;
        if (row.kind == Row::Bad) {
            run.fault = rowFault(reader, row.fault);
            return run;
        }
        if (row.kind == Row::Kept) {
            run.positions.append(row.position);
            run.scores.append(row.score);
        }
    }
    if (reader.damaged())
        run.fault = damage(reader);
    else if (run.positions.size() < 2)
        run.fault = Fault::TooFewRowsChromosome;
    return run;
}

} // namespace

ChromosomeRun loadRun(const QString &path, qint64 offset, const QString &label, int count,
                      std::shared_ptr<const SeekPoints> seekPoints)
{
    return readRun(path, label, RunStart{offset, count}, std::move(seekPoints));
}

ChromosomeRun loadFirstBlock(const QString &path, const QString &label)
{
    return readRun(path, label, std::nullopt);
}

ChromosomeRun loadChromosome(const QString &path, const FileStamp &seen, qint64 offset, const QString &label,
                             int count, std::shared_ptr<const SeekPoints> seekPoints)
{
    if (fileStamp(path) != seen)
        return loadFirstBlock(path, label);
    return loadRun(path, offset, label, count, std::move(seekPoints));
}
