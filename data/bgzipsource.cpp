#include "sources.h"

#include <QFileInfo>

#include <htslib/bgzf.h>
#include <htslib/hts_log.h>

#include <cstring>

namespace {

// Files from this size on are decompressed on two threads of htslib's own
// for a pick; below it starting them costs more than they save. The
// genome-wide load decompresses on its reading thread: its parse keeps both
// cores busy, and htslib's threads only add their handing over.
constexpr qint64 kThreadsFrom = 1 << 20;

} // namespace

BgzipSource::~BgzipSource()
{
    if (bgzf_)
        bgzf_close(bgzf_);
}

bool BgzipSource::open(const QString &path)
{
    // An absolute path: htslib takes a name such as "ftp:x" for a URL.
    path_ = QFileInfo(path).absoluteFilePath();
    bigFile_ = QFileInfo(path).size() >= kThreadsFrom;
    return reopen(0);
}

// Every seek opens the file again: a seek of htslib's threads can wait
// forever once they have stopped at damaged data, so they only ever start
// at the place to read from.
bool BgzipSource::reopen(qint64 offset)
{
    if (bgzf_)
        bgzf_close(bgzf_);
    // htslib writes its complaints to standard error; the program reports
    // a damaged file through its own log.
    hts_set_log_level(HTS_LOG_OFF);
    bgzf_ = bgzf_open(QFile::encodeName(path_).constData(), "r");
    dataEnd_ = offset >> 16;
    // A file cut at a block's end reads without error: only its missing
    // end-of-file block tells.
    return bgzf_ && bgzf_compression(bgzf_) == 2 && bgzf_check_EOF(bgzf_) == 1
        && (offset == 0 || bgzf_seek(bgzf_, offset, SEEK_SET) >= 0) && (!threads_ || bgzf_mt(bgzf_, 2, 64) == 0);
}

void BgzipSource::decompressAhead()
{
    threads_ = bigFile_;
}

bool BgzipSource::seek(qint64 offset)
{
    if (reopen(offset))
        return true;
    fail();
    return false;
}

qint64 BgzipSource::read(char *to, qint64, qint64 &offset)
{
    // A block whose header htslib no longer takes for bgzip (it then reads
    // the rest as plain gzip, with offsets that lead nowhere) is damage.
    if (damaged() || !bgzf_ || bgzf_read_block(bgzf_) != 0 || bgzf_->is_gzip)
        return fail();
    // A block is taken whole; a seek may start it part-way.
    const qint64 from = bgzf_->block_offset;
    qint64 length = 0;
    if (bgzf_->block_length > 0) {
        length = bgzf_->block_length - from; // below 0: a seek past the block's end
        if (length > 0)
            std::memcpy(to, static_cast<const char *>(bgzf_->uncompressed_block) + from, size_t(length));
        offset = bgzf_->block_address << 16 | from;
        dataEnd_ = bgzf_->block_address + bgzf_->block_clength;
    }
    bgzf_->block_offset = bgzf_->block_length = 0;
    if (length < 0 || (length == 0 && threads_ && !endConfirmed()))
        return fail();
    return length;
}

// The threads that decompress bgzip blocks may take a block they could not
// read for the end of the file. So the end is confirmed without them: after
// the last block read (block_clength is only known with them), nothing but
// empty blocks may follow.
bool BgzipSource::endConfirmed()
{
    BGZF *rest = bgzf_open(QFile::encodeName(path_).constData(), "r");
    if (!rest)
        return false;
    const bool confirmed =
        bgzf_seek(rest, dataEnd_ << 16, SEEK_SET) >= 0 && bgzf_read_block(rest) == 0 && rest->block_length == 0;
    bgzf_close(rest);
    return confirmed;
}
