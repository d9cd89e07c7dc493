#include "loads.h"

#include "linereader.h"

#include <QHash>

#include <climits>
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

} // namespace

GenomeWide loadGenomeWide(const QString &path)
{
    GenomeWide g;
    LineReader reader;
    const LayoutResult layout = openDataFile(reader, path);
    if (layout.fault != Fault::None) {
        g.fault = layout.fault;
        return g;
    }
    g.columns = layout.columns;
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
        const Row row = convertRow(line, layout.layout);
        if (row.kind == Row::Bad) {
            g.fault = row.fault;
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
            g.fault = Fault::GenomeWideOverflow;
            return g;
        }
        g.scores.append(row.score);
        g.x.append(int(x));
        previousX = int(x);
    }
    if (g.scores.size() < 2) {
        g.fault = Fault::TooFewRowsGenomeWide;
        return g;
    }
    closeRuns(t, g.x);
    return g;
}

ChromosomeRun loadRun(const QString &path, qint64 offset, const QString &label, int count)
{
    ChromosomeRun run;
    LineReader reader;
    const LayoutResult layout = openDataFile(reader, path);
    if (layout.fault != Fault::None) {
        run.fault = layout.fault;
        return run;
    }
    run.layoutSettled = true;
    reader.seek(offset);
    const QByteArray labelBytes = label.toUtf8();
    QByteArrayView line;
    qint64 lineOffset = 0;
    while (run.positions.size() < count && reader.readLine(line, lineOffset)) {
        if (line.isEmpty())
            continue;
        const Row row = convertRow(line, layout.layout);
        if (row.kind == Row::Bad && row.fault == Fault::MissingColumns) {
            run.fault = row.fault;
            return run;
        }
        const bool ours = row.label == QByteArrayView(labelBytes) || QString::fromUtf8(row.label) == label;
        if (!ours) {
            // Another label's "NA" and zero rows do not end the run, as they
            // did not in the genome-wide load; anything else of it does.
            if (row.kind == Row::Skipped)
                continue;
            break;
        }
        if (row.kind == Row::Bad) {
            run.fault = row.fault;
            return run;
        }
        if (row.kind == Row::Kept) {
            run.positions.append(row.position);
            run.scores.append(row.score);
        }
    }
    if (run.positions.size() < 2)
        run.fault = Fault::TooFewRowsChromosome;
    return run;
}
