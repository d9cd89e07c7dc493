#include "chunkedrows.h"

#include "linereader.h"

#include <QHash>

#include <cstring>

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

} // namespace

struct ChunkedRows::Job {
    TextChunk text;
    ChunkRows rows;
    bool converted = false;
};

// One per thread: labels are turned into text on the threads too.
class ChunkedRows::Labels : public LabelPool
{
};

namespace {

// Converts the chunk's lines by the layout's rules, in order.
void readChunkRows(TextChunk &chunk, const Layout &layout, LabelPool &labels, ChunkRows &rows)
{
    rows.q.clear(); // clear() keeps their room
    rows.scores.clear();
    rows.startRows.clear();
    rows.startOffsets.clear();
    rows.startTags.clear();
    rows.fault = Fault::None;
    QByteArrayView line, previous; // the label of the kept row before, as written
    qsizetype at = 0;
    while (chunk.readLine(line, at)) {
        if (line.isEmpty())
            continue;
        const Row row = convertRow(line, layout);
        if (row.kind == Row::Bad) {
            rows.fault = row.fault;
            return;
        }
        if (row.kind == Row::Skipped)
            continue;
        // A new run where the label's text differs from the run's; the same
        // bytes are the same text. The chunk's first row is left to the join.
        if (rows.q.isEmpty() || row.label != previous) {
            const QString &text = labels.get(row.label);
            // The pool's own string for the same bytes: the same text at once.
            const QString *last = rows.startTags.isEmpty() ? nullptr : &rows.startTags.constLast();
            if (!last || (text.constData() != last->constData() && text != *last)) {
                rows.startRows.append(int(rows.q.size()));
                rows.startOffsets.append(chunk.offsetAt(at));
                rows.startTags.append(text);
            }
            previous = row.label;
        }
        rows.q.append(row.position / 100);
        rows.scores.append(row.score);
    }
}

} // namespace

ChunkedRows::ChunkedRows(LineReader &reader, const Layout &layout, qsizetype chunkSize, int threads)
    : reader_(reader), layout_(layout), chunkSize_(std::max<qsizetype>(chunkSize, 1))
{
    // Six chunks a thread: this thread reads ahead while it has time, so
    // that a thread done with a chunk finds the next one waiting (with one
    // more than the threads, a compressed file's parse thread idled while
    // this one inflated). A few MB at most.
    threads = std::max(threads, 1);
    for (int i = 0; i < 6 * threads; ++i)
        jobs_.push_back(std::make_unique<Job>());
    for (int i = 0; i < threads; ++i)
        labels_.push_back(std::make_unique<Labels>());
    for (int i = 1; i < threads; ++i)
        threads_.emplace_back([this, i]() { work(*labels_[size_t(i)]); });
}

ChunkedRows::~ChunkedRows()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    waitingChanged_.notify_all();
    for (std::thread &thread : threads_)
        thread.join();
}

void ChunkedRows::convert(Job &job, Labels &labels)
{
    readChunkRows(job.text, layout_, labels, job.rows);
}

void ChunkedRows::work(Labels &labels)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        waitingChanged_.wait(lock, [this]() { return stop_ || !waiting_.empty(); });
        if (stop_)
            return;
        Job *job = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        convert(*job, labels);
        lock.lock();
        job->converted = true;
        converted_.notify_all();
    }
}

ChunkRows *ChunkedRows::next()
{
    const size_t ring = jobs_.size();
    if (handedOut_) { // free again
        head_ = (head_ + 1) % ring;
        --count_;
        handedOut_ = false;
    }
    // Read ahead while there is room.
    while (count_ < ring && !textRead_) {
        Job &job = *jobs_[(head_ + count_) % ring];
        if (!reader_.readChunk(job.text, chunkSize_)) {
            textRead_ = true;
            break;
        }
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            job.converted = false;
            waiting_.push_back(&job);
        }
        waitingChanged_.notify_one();
        ++count_;
    }
    if (count_ == 0)
        return nullptr;
    Job &oldest = *jobs_[head_];
    std::unique_lock<std::mutex> lock(mutex_);
    // Rather than wait for the oldest chunk, convert the next one waiting
    // (the oldest itself when no thread has taken it yet).
    while (!oldest.converted) {
        if (waiting_.empty()) {
            converted_.wait(lock);
            continue;
        }
        Job &job = *waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        convert(job, *labels_[0]);
        lock.lock();
        job.converted = true;
    }
    handedOut_ = true;
    return &oldest.rows;
}
