// The genome-wide load's reading on every core: the text is cut into chunks
// of whole lines, each chunk's rows are converted on a thread of its own,
// and the chunks come back in file order, for the load to join their rows
// and runs to those before them.
#pragma once

#include "reader.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class LineReader;
class TextChunk;

// The kept rows of one chunk, up to its first bad line. Lists, not vectors:
// the load appends them to its own without a copy element by element.
struct ChunkRows {
    QList<int> q; // the position divided by 100, truncated toward zero
    QList<double> scores;
    // Where runs start: the chunk's first kept row, and each kept row whose
    // label's text differs from the row's before it.
    QList<int> startRows; // index in the chunk
    QList<qint64> startOffsets; // where the row's line stands in the file
    QList<QString> startTags;
    QList<int> startValues; // room for the load's use
    Fault fault = Fault::None; // the first bad line's, right after the rows above
};

class ChunkedRows
{
public:
    // Reads from where the reader stands, in chunks of about `chunkSize`
    // bytes, converted on `threads` threads (this one among them).
    ChunkedRows(LineReader &reader, const Layout &layout, qsizetype chunkSize, int threads);
    ~ChunkedRows();
    ChunkedRows(const ChunkedRows &) = delete;
    ChunkedRows &operator=(const ChunkedRows &) = delete;

    // The next chunk's rows, in file order (valid until the next call);
    // null once the text is read.
    ChunkRows *next();

private:
    struct Job;
    class Labels;
    void work(Labels &labels);
    void convert(Job &job, Labels &labels);

    LineReader &reader_;
    const Layout &layout_;
    const qsizetype chunkSize_;
    std::vector<std::unique_ptr<Job>> jobs_; // a ring: from head_, count_ of them read
    std::vector<std::unique_ptr<Labels>> labels_; // one per thread, this one's first
    size_t head_ = 0, count_ = 0;
    bool handedOut_ = false; // the job at head_ was handed out
    bool textRead_ = false;
    std::deque<Job *> waiting_; // read, not taken by a thread yet
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable waitingChanged_, converted_;
    std::vector<std::thread> threads_;
};
