#include "loads.h"

#include "linereader.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <climits>
#include <optional>
#include <cstring>
#include <vector>

namespace {

// Hands out one shared string per distinct label text, so that every run
// of a label shares it. Short labels (chromosome names) are found in a small
// open-addressing table keyed by their bytes, without hashing strings; a
// file whose "chromosome" column is really an identifier per row stops
// being pooled after a while, so the pool never grows with the rows.
class LabelPool
{
public:
    // The reference stays valid until the next call.
    const QString &get(QByteArrayView bytes)
    {
        if (bytes.size() > 8)
            return lookUp(bytes);
        quint64 key = 0;
        std::memcpy(&key, bytes.data(), size_t(bytes.size()));
        const quint8 size = quint8(bytes.size() + 1); // 0 marks a free slot
        for (quint32 i = quint32((key * 0x9E3779B97F4A7C15ull) >> (64 - qCountTrailingZeroBits(kSlots)));;
             i = (i + 1) % kSlots) {
            Slot &slot = slots_[i];
            if (slot.size == size && slot.key == key)
                return slot.text;
            if (slot.size == 0) {
                if (used_ == kSlots / 2) // full enough: no more short labels pooled
                    return lookUp(bytes);
                ++used_;
                slot = Slot{key, size, QString::fromUtf8(bytes)};
                return slot.text;
            }
        }
    }

private:
    struct Slot {
        quint64 key = 0;
        quint8 size = 0;
        QString text;
    };

    const QString &lookUp(QByteArrayView bytes)
    {
        // fromRawData: a lookup key without copying the bytes.
        const auto it = pool_.constFind(QByteArray::fromRawData(bytes.data(), bytes.size()));
        if (it != pool_.cend())
            return it.value();
        unpooled_ = QString::fromUtf8(bytes);
        if (pool_.size() < kMaxPooled)
            pool_.insert(bytes.toByteArray(), unpooled_);
        return unpooled_;
    }

    static constexpr quint32 kSlots = 4096; // a power of two: the hash keeps its top bits
    static_assert((kSlots & (kSlots - 1)) == 0);
    static constexpr qsizetype kMaxPooled = 100000;
    std::vector<Slot> slots_ = std::vector<Slot>(kSlots);
    quint32 used_ = 0;
    QHash<QByteArray, QString> pool_;
    QString unpooled_;
};

// Each run ends where the next begins; its red is 255 for the first run,
// then alternately 50 and 255.
void closeRuns(ChromosomeTable &t, const QList<int> &x)
{
    const qsizetype n = t.startIndex.size();
    t.endIndex.resize(n);
    t.endValue.resize(n);
    t.colorValue.resize(n);
    for (qsizetype k = 0; k < n; ++k) {
        t.endIndex[k] = k + 1 < n ? t.startIndex[k + 1] - 1 : int(x.size() - 1);
        t.endValue[k] = x[t.endIndex[k]];
        t.colorValue[k] = k % 2 == 0 ? 255 : 50;
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
// whatever the layout step made of it.
LayoutResult openReader(LineReader &reader, const QString &path)
{
    LayoutResult result = openDataFile(reader, path);
    if (reader.damaged())
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

GenomeWide loadGenomeWide(const QString &path)
{
    GenomeWide g;
    g.stamp = fileStamp(path);
    LineReader reader;
    const LayoutResult opened = openReader(reader, path);
    g.fault = opened.fault;
    if (g.fault != Fault::None)
        return g;
    g.columns = opened.columns;
    const Layout &layout = opened.layout;
    ChromosomeTable &t = g.table;
    LabelPool labels;
    QByteArray runBytes; // the current run's label as written in the file
    qint64 offsetX = 0, base = 0; // x of the row before the run, q of its first row
    int previousX = 0;

    QByteArrayView line;
    qint64 lineOffset = 0;
    while (reader.readLine(line, lineOffset)) {
        if (line.isEmpty())
            continue;
        const Row row = convertRow(line, layout);
        if (row.kind == Row::Bad) {
            g.fault = rowFault(reader, row.fault);
            return g;
        }
        if (row.kind == Row::Skipped)
            continue;
        const qsizetype i = g.scores.size();
        const int q = row.position / 100; // truncates toward zero
        // A new run when the label's text differs from the run's, whose text
        // is the last tag; the same bytes are the same text.
        const bool opened = !t.tags.isEmpty();
        const bool sameBytes = opened && row.label == QByteArrayView(runBytes);
        const QString *label = sameBytes ? nullptr : &labels.get(row.label);
        if (label && (!opened || *label != t.tags.constLast())) {
            // Where each run ends is filled in afterwards.
            offsetX = opened ? previousX : 0;
            base = q;
            t.startIndex.append(int(i));
            t.startValue.append(int(offsetX + 1));
            t.startOffset.append(lineOffset);
            t.tags.append(*label);
            runBytes.resize(row.label.size()); // keeps its capacity
            std::memcpy(runBytes.data(), row.label.data(), size_t(row.label.size()));
        }
        const qint64 x = offsetX + 1 + (q - base);
        if (x < INT_MIN || x > INT_MAX) {
            g.fault = rowFault(reader, Fault::GenomeWideOverflow);
            return g;
        }
        g.scores.append(row.score);
        g.x.append(int(x));
        previousX = int(x);
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
ChromosomeRun readRun(const QString &path, const QString &label, const std::optional<RunStart> &start)
{
    ChromosomeRun run;
    LineReader reader;
    const LayoutResult opened = openReader(reader, path);
    run.fault = opened.fault;
    if (run.fault != Fault::None)
        return run;
    run.layoutSettled = true;
    const Layout &layout = opened.layout;
    if (start)
        reader.seek(start->offset);
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

ChromosomeRun loadRun(const QString &path, qint64 offset, const QString &label, int count)
{
    return readRun(path, label, RunStart{offset, count});
}

ChromosomeRun loadFirstBlock(const QString &path, const QString &label)
{
    return readRun(path, label, std::nullopt);
}

ChromosomeRun loadChromosome(const QString &path, const FileStamp &seen, qint64 offset, const QString &label,
                             int count)
{
    if (fileStamp(path) != seen)
        return loadFirstBlock(path, label);
    return loadRun(path, offset, label, count);
}
