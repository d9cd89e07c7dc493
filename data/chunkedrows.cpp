#include "chunkedrows.h"

#include "linereader.h"

struct ChunkedRows::Job {
    TextChunk text;
    ChunkRows rows;
    bool converted = false;
};

void readChunkRows(TextChunk &chunk, const Layout &layout, ChunkRows &rows)
{
    rows.q.clear();
    rows.scores.clear();
    rows.changes.clear();
    rows.labels.clear();
    rows.fault = Fault::None;
    QByteArrayView line, previous;
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
        if (rows.q.empty() || row.label != previous) {
            rows.changes.push_back({rows.q.size(), rows.labels.size(), size_t(row.label.size()), chunk.offsetAt(at)});
            rows.labels.append(row.label.data(), size_t(row.label.size()));
            previous = row.label;
        }
        rows.q.push_back(row.position / 100);
        rows.scores.push_back(row.score);
    }
}

ChunkedRows::ChunkedRows(LineReader &reader, const Layout &layout, qsizetype chunkSize, int threads)
    : reader_(reader), layout_(layout), chunkSize_(std::max<qsizetype>(chunkSize, 1))
{
    // Enough chunks read ahead to keep every thread busy while this one
    // reads and joins.
    threads = std::max(threads, 1);
    for (int i = 0; i < threads + 2; ++i)
        jobs_.push_back(std::make_unique<Job>());
    for (int i = 1; i < threads; ++i)
        threads_.emplace_back([this]() { work(); });
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

void ChunkedRows::convert(Job &job, const Layout &layout)
{
    readChunkRows(job.text, layout, job.rows);
}

void ChunkedRows::work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        waitingChanged_.wait(lock, [this]() { return stop_ || !waiting_.empty(); });
        if (stop_)
            return;
        Job *job = waiting_.front();
        waiting_.pop_front();
        lock.unlock();
        convert(*job, layout_);
        lock.lock();
        job->converted = true;
        converted_.notify_all();
    }
}

const ChunkRows *ChunkedRows::next()
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
    if (!waiting_.empty() && waiting_.front() == &oldest) {
        // No thread has taken it yet: convert it here rather than wait.
        waiting_.pop_front();
        lock.unlock();
        convert(oldest, layout_);
        lock.lock();
        oldest.converted = true;
    }
    converted_.wait(lock, [&oldest]() { return oldest.converted; });
    handedOut_ = true;
    return &oldest.rows;
}
