#include "loads.h"

#include "linereader.h"

#include <QHash>

#include <climits>
#include <cstring>

namespace {

// Holds each distinct label once, so that every run of a label shares one
// string.
class LabelPool
{
public:
    const QString &get(QByteArrayView bytes)
    {
        // fromRawData: a lookup key without copying the bytes.
        const QByteArray key = QByteArray::fromRawData(bytes.data(), bytes.size());
        auto it = pool_.find(key);
        if (it == pool_.end())
            it = pool_.insert(bytes.toByteArray(), QString::fromUtf8(bytes));
        return it.value();
    }

private:
    QHash<QByteArray, QString> pool_;
};

// Red of the next run: 255 first, then alternately 50 and 255.
int nextRed(const QVector<int> &colors)
{
    return colors.isEmpty() || colors.last() != 255 ? 255 : 50;
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
    ChromosomeTable &t = g.table;
    LabelPool labels;
    QByteArray runBytes; // the current run's label as written in the file
    QString runLabel;
    bool opened = false;
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
        const bool sameBytes = opened && row.label == QByteArrayView(runBytes);
        if (!sameBytes && (!opened || labels.get(row.label) != runLabel)) {
            if (opened) {
                t.endIndex.append(int(i - 1));
                t.endValue.append(previousX);
                t.tags.append(runLabel);
                t.colorValue.append(nextRed(t.colorValue));
            }
            offsetX = opened ? previousX : 0;
            base = q;
            t.startIndex.append(int(i));
            t.startValue.append(int(offsetX + 1));
            t.startOffset.append(lineOffset);
            runLabel = labels.get(row.label);
            runBytes.resize(row.label.size()); // keeps its capacity
            std::memcpy(runBytes.data(), row.label.data(), size_t(row.label.size()));
            opened = true;
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
    t.endIndex.append(int(g.scores.size() - 1));
    t.endValue.append(previousX);
    t.tags.append(runLabel);
    t.colorValue.append(nextRed(t.colorValue));
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
