#include "linereader.h"

#include "vcf.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <htslib/bgzf.h>
#include <htslib/hts_log.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr qsizetype kBlockSize = 1 << 20;

// Compressed files from this size on are decompressed on threads of their
// own; below it starting them costs more than they save.
constexpr qint64 kThreadsFrom = 1 << 20;

bool isContinuationByte(char c)
{
    return (uchar(c) & 0xc0) == 0x80;
}

// Continuation bytes a UTF-8 lead byte calls for (0: not a lead byte).
int continuationsNeeded(char c)
{
    const uchar u = uchar(c);
    return u >= 0xc2 && u <= 0xdf ? 1 : u >= 0xe0 && u <= 0xef ? 2 : u >= 0xf0 && u <= 0xf4 ? 3 : 0;
}

// Length of an unfinished UTF-8 sequence at the end of the bytes (0: none).
qsizetype unfinishedSequenceLength(const char *data, qsizetype size)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(size, 4); ++back) {
        const char c = data[size - back];
        if (!isContinuationByte(c))
            return continuationsNeeded(c) >= back ? back : 0;
    }
    return 0;
}

// Text mode drops every CR, wherever it stands, but only after decoding: a
// CR inside a UTF-8 sequence breaks it, every byte of it decoding to one
// replacement character. 0xFF bytes decode the same way, so the sequence's
// unfinished start is overwritten with them rather than joined to the
// continuation bytes after the CR.
qsizetype dropCarriageReturns(char *data, qsizetype size)
{
    char *out = static_cast<char *>(std::memchr(data, '\r', size_t(size)));
    if (!out)
        return size;
    for (const char *in = out; in != data + size; ++in) {
        if (*in != '\r') {
            *out++ = *in;
        } else if (in + 1 != data + size && isContinuationByte(in[1])) {
            const qsizetype unfinished = unfinishedSequenceLength(data, out - data);
            std::memset(out - unfinished, 0xff, size_t(unfinished));
        }
    }
    return out - data;
}

} // namespace

// A gzip stream is decompressed on a thread of its own, a few blocks ahead
// of the reader, so that inflating and reading the lines overlap.
class GzipAhead
{
public:
    explicit GzipAhead(BGZF *bgzf) : bgzf_(bgzf), thread_([this]() { run(); }) {}
    ~GzipAhead()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        freed_.notify_one();
        thread_.join();
    }

    // The next block's bytes (valid until the next call): their number, 0 at
    // the end, -1 where the data is damaged.
    qint64 next(const char *&data)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (taken_) { // the block handed out last time is free again
            head_ = (head_ + 1) % kSlots;
            --count_;
            taken_ = false;
            freed_.notify_one();
        }
        filled_.wait(lock, [this]() { return count_ > 0; });
        const Slot &slot = slots_[head_];
        if (slot.size > 0)
            taken_ = true; // the end and damage stay for any later call
        data = slot.bytes.data();
        return slot.size;
    }

private:
    static constexpr int kSlots = 4;
    struct Slot {
        std::vector<char> bytes = std::vector<char>(BGZF_MAX_BLOCK_SIZE);
        qint64 size = 0;
    };

    void run()
    {
        for (qint64 size = 1; size > 0;) {
            int tail = 0;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                freed_.wait(lock, [this]() { return stop_ || count_ < kSlots; });
                if (stop_)
                    return;
                tail = (head_ + count_) % kSlots;
            }
            Slot &slot = slots_[tail];
            if (bgzf_read_block(bgzf_) != 0) {
                size = -1;
            } else {
                size = bgzf_->block_length;
                std::memcpy(slot.bytes.data(), bgzf_->uncompressed_block, size_t(size));
                bgzf_->block_offset = bgzf_->block_length = 0;
            }
            slot.size = size;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                ++count_;
            }
            filled_.notify_one();
        }
    }

    BGZF *bgzf_;
    Slot slots_[kSlots];
    int head_ = 0;  // the next slot to hand out
    int count_ = 0; // filled slots from head_ on, the one handed out included
    bool taken_ = false;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable filled_, freed_;
    std::thread thread_; // last: starts once the rest is ready
};

LineReader::LineReader() = default;

LineReader::~LineReader()
{
    ahead_.reset(); // its thread reads from bgzf_
    if (bgzf_)
        bgzf_close(bgzf_);
}

bool LineReader::open(const QString &path)
{
    if (VcfSource::isVcf(path)) {
        vcf_ = std::make_unique<VcfSource>();
        return vcf_->open(path);
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly))
        return false;
    buffer_.resize(kBlockSize);
    startOffset_ = 0;
    inMemory_ = false;
    QByteArray head = file_.peek(4);
    if (head.startsWith("\x1f\x8b")) {
        threads_ = file_.size() >= kThreadsFrom;
        file_.close();
        // An absolute path: htslib takes a name such as "ftp:x" for a URL.
        path_ = QFileInfo(path).absoluteFilePath();
        if (!openCompressed(0))
            return false;
        while (end_ < 4 && fill()) {
        }
        if (damaged_)
            return false;
        head = QByteArray(buffer_.constData(), std::min<qsizetype>(end_, 4));
        empty_ = end_ == 0;
    } else {
        source_ = Source::Plain;
        empty_ = file_.size() == 0;
    }
    const auto encoding = QStringConverter::encodingForData(head);
    if (encoding == QStringConverter::Utf8) {
        startOffset_ = 3;
    } else if (encoding) {
        // Wide encodings are rare: decode them whole and read the result.
        QByteArray bytes;
        if (source_ == Source::Plain) {
            bytes = file_.readAll();
        } else {
            while (fill()) {
            }
            if (damaged_)
                return false;
            bytes = QByteArray(buffer_.constData(), end_);
        }
        QStringDecoder decode(*encoding);
        QString text = decode(bytes);
        buffer_ = text.remove(u'\r').toUtf8();
        inMemory_ = true;
    }
    return seek(0);
}

// Opens the compressed file, reading a bgzip file from a virtual offset.
// Every seek opens the file again: a seek of htslib's threads can wait
// forever once they have stopped at damaged data, so they only ever start
// at the place to read from.
bool LineReader::openCompressed(qint64 start)
{
    ahead_.reset(); // its thread reads from bgzf_
    if (bgzf_)
        bgzf_close(bgzf_);
    // htslib writes its complaints to standard error; the program reports
    // a damaged file through its own log.
    hts_set_log_level(HTS_LOG_OFF);
    bgzf_ = bgzf_open(QFile::encodeName(path_).constData(), "r");
    if (!bgzf_) {
        fail();
        return false;
    }
    switch (bgzf_compression(bgzf_)) {
    case 1: // gzip
        source_ = Source::Gzip;
        if (threads_)
            ahead_ = std::make_unique<GzipAhead>(bgzf_);
        break;
    case 2: // bgzip
        source_ = Source::Bgzip;
        // A file cut at a block's end reads without error: only its missing
        // end-of-file block tells.
        if (bgzf_check_EOF(bgzf_) != 1 || (start > 0 && bgzf_seek(bgzf_, start, SEEK_SET) < 0)
            || (threads_ && bgzf_mt(bgzf_, 2, 64) != 0)) {
            fail();
            return false;
        }
        break;
    default: // the magic bytes without a whole gzip header
        fail();
        return false;
    }
    blocks_.clear();
    blockCursor_ = 0;
    skip_ = 0;
    pos_ = end_ = 0;
    bufferOffset_ = 0;
    dataEnd_ = start >> 16;
    eof_ = false;
    untouched_ = start == 0;
    return true;
}

void LineReader::fail()
{
    damaged_ = true;
    eof_ = true;
}

bool LineReader::seek(qint64 offset)
{
    if (vcf_)
        return vcf_->seek(offset);
    if (inMemory_) {
        if (offset < 0 || offset > buffer_.size())
            return false;
        pos_ = qsizetype(offset);
        bufferOffset_ = 0;
        end_ = buffer_.size();
        eof_ = true;
        return true;
    }
    if (source_ != Source::Plain)
        return seekCompressed(offset);
    pos_ = 0;
    offset = std::max(offset, startOffset_);
    end_ = 0;
    eof_ = false;
    bufferOffset_ = offset;
    return file_.seek(offset);
}

bool LineReader::seekCompressed(qint64 offset)
{
    if (damaged_)
        return false;
    if (offset <= startOffset_) {
        // The start again: still in the buffer right after open().
        if (untouched_ && startOffset_ <= end_) {
            pos_ = qsizetype(startOffset_);
            return true;
        }
        return rewindCompressed(startOffset_);
    }
    if (source_ == Source::Bgzip)
        return openCompressed(offset);
    // Gzip offsets count decompressed bytes: skip forward, or start again.
    if (offset >= bufferOffset_ + pos_ && offset <= bufferOffset_ + end_) {
        pos_ = qsizetype(offset - bufferOffset_);
        return true;
    }
    if (offset > bufferOffset_ + end_) {
        skip_ += offset - (bufferOffset_ + end_);
        bufferOffset_ = offset;
        pos_ = end_ = 0;
        return true;
    }
    return rewindCompressed(offset);
}

bool LineReader::rewindCompressed(qint64 skip)
{
    if (!openCompressed(0))
        return false;
    untouched_ = false;
    skip_ = skip;
    bufferOffset_ = skip;
    return true;
}

qint64 LineReader::readCompressed()
{
    for (;;) {
        const char *data = nullptr;
        qint64 length = 0;
        qint64 start = 0; // bgzip: the virtual offset of data[0]
        if (ahead_) {
            length = ahead_->next(data);
        } else if (bgzf_read_block(bgzf_) == 0) {
            // A block is taken whole; a seek may start it part-way.
            const qint64 from = bgzf_->block_offset;
            if (bgzf_->block_length > 0) {
                length = bgzf_->block_length - from; // below 0: a seek past the block's end
                data = static_cast<const char *>(bgzf_->uncompressed_block) + from;
                start = bgzf_->block_address << 16 | from;
                dataEnd_ = bgzf_->block_address + bgzf_->block_clength;
            }
            bgzf_->block_offset = bgzf_->block_length = 0;
        } else {
            length = -1;
        }
        if (length < 0 || (length == 0 && source_ == Source::Bgzip && threads_ && !endConfirmed())) {
            fail();
            return -1;
        }
        if (length == 0)
            return -1; // the end
        const qint64 drop = std::min(skip_, length);
        skip_ -= drop;
        if (drop == length)
            continue;
        if (source_ == Source::Bgzip)
            blocks_.push_back({bufferOffset_ + end_, start + drop});
        std::memcpy(buffer_.data() + end_, data + drop, size_t(length - drop));
        return length - drop;
    }
}

// The threads that decompress bgzip blocks may take a block they could not
// read for the end of the file. So the end is confirmed without them: after
// the last block read (block_clength is only known with them), nothing but
// empty blocks may follow.
bool LineReader::endConfirmed()
{
    BGZF *rest = bgzf_open(QFile::encodeName(path_).constData(), "r");
    if (!rest)
        return false;
    const bool confirmed =
        bgzf_seek(rest, dataEnd_ << 16, SEEK_SET) >= 0 && bgzf_read_block(rest) == 0 && rest->block_length == 0;
    bgzf_close(rest);
    return confirmed;
}

bool LineReader::fill()
{
    if (eof_)
        return false;
    // Keep the unfinished line, moved to the front.
    const qsizetype rest = end_ - pos_;
    if (pos_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + pos_, size_t(rest));
        bufferOffset_ += pos_;
        pos_ = 0;
        end_ = rest;
        // Blocks wholly before the buffer are gone.
        size_t gone = 0;
        while (gone + 1 < blocks_.size() && blocks_[gone + 1].at <= bufferOffset_)
            ++gone;
        blocks_.erase(blocks_.begin(), blocks_.begin() + qsizetype(gone));
        blockCursor_ = blockCursor_ > gone ? blockCursor_ - gone : 0;
    }
    // Room for a whole block (64 KiB) is always left.
    if (buffer_.size() - end_ < kBlockSize / 2)
        buffer_.resize(buffer_.size() * 2);
    const qint64 got = source_ == Source::Plain ? file_.read(buffer_.data() + end_, buffer_.size() - end_)
                                                : readCompressed();
    if (got <= 0) {
        eof_ = true;
        return false;
    }
    end_ += qsizetype(got);
    return true;
}

bool LineReader::damaged() const
{
    return damaged_ || (vcf_ && vcf_->failed());
}

bool LineReader::unreadableRecord() const
{
    return vcf_ && vcf_->failed() && !vcf_->compressionDamaged();
}

bool LineReader::restIsDamaged()
{
    if (vcf_) {
        QByteArrayView line;
        qint64 offset = 0;
        while (vcf_->readLine(line, offset)) {
        }
        return vcf_->failed();
    }
    if (source_ == Source::Plain || inMemory_)
        return damaged_;
    while (!eof_) {
        pos_ = end_;
        fill();
    }
    return damaged_;
}

bool LineReader::atEnd()
{
    return pos_ == end_ && !fill();
}

qint64 LineReader::virtualOffset(qint64 at)
{
    while (blockCursor_ + 1 < blocks_.size() && blocks_[blockCursor_ + 1].at <= at)
        ++blockCursor_;
    const Block &block = blocks_[blockCursor_];
    return block.start + (at - block.at);
}

bool LineReader::readLine(QByteArrayView &line, qint64 &offset)
{
    if (vcf_)
        return vcf_->readLine(line, offset);
    qsizetype scanned = 0; // bytes after pos_ known to hold no LF
    const void *lf = nullptr;
    for (;;) {
        lf = std::memchr(buffer_.data() + pos_ + scanned, '\n', size_t(end_ - pos_ - scanned));
        if (lf)
            break;
        scanned = end_ - pos_;
        if (!fill())
            break;
    }
    if (damaged_ || (!lf && pos_ == end_))
        return false;
    untouched_ = false;
    char *data = buffer_.data();
    qsizetype stop = lf ? static_cast<const char *>(lf) - data : end_;
    // The stream's decoder keeps an unfinished sequence at the end of the
    // file waiting for more bytes, so it never shows.
    if (!lf && !inMemory_)
        stop -= unfinishedSequenceLength(data + pos_, stop - pos_);
    offset = bufferOffset_ + pos_;
    if (source_ == Source::Bgzip && !inMemory_)
        offset = virtualOffset(offset);
    const qsizetype length = inMemory_ ? stop - pos_ : dropCarriageReturns(data + pos_, stop - pos_);
    line = QByteArrayView(data + pos_, length);
    pos_ = lf ? stop + 1 : end_;
    return true;
}
