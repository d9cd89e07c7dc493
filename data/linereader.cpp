#include "linereader.h"

#include "sources.h"
#include "vcf.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

// Bytes asked of the source at a time: large reads, few calls.
constexpr qint64 kReadSize = 1 << 18;

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

// The piece that holds the byte at `at`: the last one starting at or before it.
size_t pieceOf(const std::vector<TextPiece> &pieces, qsizetype at)
{
    const auto after =
        std::upper_bound(pieces.begin(), pieces.end(), at, [](qsizetype a, const TextPiece &p) { return a < p.at; });
    return size_t(std::max<qsizetype>(after - pieces.begin() - 1, 0));
}

} // namespace

bool TextChunk::readLine(QByteArrayView &line, qsizetype &at)
{
    if (next_ == end_)
        return false;
    char *data = bytes_.data();
    const void *lf = std::memchr(data + next_, '\n', size_t(end_ - next_));
    const qsizetype stop = lf ? static_cast<const char *>(lf) - data : end_;
    at = next_;
    const qsizetype length = carriageReturns_ ? dropCarriageReturns(data + next_, stop - next_) : stop - next_;
    line = QByteArrayView(data + next_, length);
    next_ = lf ? stop + 1 : end_;
    return true;
}

qint64 TextChunk::offsetAt(qsizetype at) const
{
    const TextPiece &piece = pieces_[pieceOf(pieces_, at)];
    return piece.offset + (at - piece.at);
}

LineReader::LineReader() = default;

LineReader::~LineReader() = default;

bool LineReader::open(const QString &path)
{
    if (VcfSource::isVcf(path)) {
        vcf_ = std::make_unique<VcfSource>();
        return vcf_->open(path);
    }
    source_ = openByteSource(path, damaged_);
    eof_ = !source_;
    if (!source_)
        return false;
    source_->setSeekPointDistance(seekPointDistance_);
    buffer_.resize(kReadSize);
    pos_ = end_ = 0;
    pieces_.clear();
    startOffset_ = 0;
    while (end_ < 4 && fill(kReadSize)) {
    }
    if (damaged_)
        return false;
    empty_ = end_ == 0;
    const QByteArrayView head(buffer_.constData(), std::min<qsizetype>(end_, 4));
    const auto encoding = QStringConverter::encodingForData(head);
    if (encoding == QStringConverter::Utf8) {
        startOffset_ = 3;
    } else if (encoding) {
        // Wide encodings are rare: decode them whole and read the result.
        while (fill(kReadSize)) {
        }
        if (damaged_)
            return false;
        QStringDecoder decode(*encoding);
        QString text = decode(QByteArrayView(buffer_.constData(), end_));
        source_ = std::make_unique<MemorySource>(text.remove(u'\r').toUtf8());
        pos_ = end_ = 0;
        pieces_.clear();
        eof_ = false;
    }
    return seek(0);
}

std::shared_ptr<const SeekPoints> LineReader::seekPoints() const
{
    return source_ ? source_->seekPoints() : nullptr;
}

void LineReader::useSeekPoints(std::shared_ptr<const SeekPoints> points)
{
    if (source_)
        source_->useSeekPoints(std::move(points));
}

void LineReader::decompressAhead()
{
    if (source_)
        source_->decompressAhead();
    sourceSeekDue_ = true;
}

// Where the offset stands among the bytes not read yet (-1: not there).
qsizetype LineReader::bufferedAt(qint64 offset) const
{
    for (size_t k = 0; k < pieces_.size(); ++k) {
        const qsizetype pieceEnd = k + 1 < pieces_.size() ? pieces_[k + 1].at : end_;
        const qint64 at = pieces_[k].at + (offset - pieces_[k].offset);
        if (offset >= pieces_[k].offset && at <= pieceEnd && at >= pos_)
            return qsizetype(at);
    }
    return -1;
}

bool LineReader::seek(qint64 offset)
{
    if (vcf_)
        return vcf_->seek(offset);
    if (damaged_ || !source_)
        return false;
    offset = std::max(offset, startOffset_);
    // Bytes read but not handed out yet (the start, right after open())
    // need not be read again; lines handed out may have lost their CRs.
    const qsizetype at = sourceSeekDue_ ? -1 : bufferedAt(offset);
    sourceSeekDue_ = false;
    if (at >= 0) {
        pos_ = at;
        return true;
    }
    pos_ = end_ = 0;
    pieces_.clear();
    pieceCursor_ = 0;
    eof_ = false;
    if (source_->seek(offset))
        return true;
    eof_ = true;
    damaged_ = source_->damaged();
    return false;
}

// Drops the bytes before `at` from the buffer, and the pieces that only held them.
void LineReader::dropBufferedBefore(qsizetype at)
{
    std::memmove(buffer_.data(), buffer_.data() + at, size_t(end_ - at));
    end_ -= at;
    pos_ -= at;
    const size_t first = pieceOf(pieces_, at);
    pieces_.erase(pieces_.begin(), pieces_.begin() + qsizetype(first));
    for (TextPiece &piece : pieces_)
        piece.at -= at;
    pieceCursor_ = pieceCursor_ > first ? pieceCursor_ - first : 0;
}

// Reads about `wanted` more bytes (at least a bgzip block's room), keeping
// the unread ones.
bool LineReader::fill(qint64 wanted)
{
    if (eof_)
        return false;
    if (pos_ > 0)
        dropBufferedBefore(pos_);
    const qint64 room = std::max(wanted, ByteSource::kMinRoom);
    if (buffer_.size() - end_ < room)
        buffer_.resize(std::max(end_ + room, buffer_.size() + buffer_.size() / 2));
    qint64 offset = 0;
    const qint64 got = source_->read(buffer_.data() + end_, std::min(room, qint64(buffer_.size() - end_)), offset);
    if (got <= 0) {
        eof_ = true;
        damaged_ = source_->damaged();
        return false;
    }
    // A piece that carries on where the last one ends is part of it.
    if (pieces_.empty() || pieces_.back().offset + (end_ - pieces_.back().at) != offset)
        pieces_.push_back({end_, offset});
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
    if (!source_ || !source_->compressed())
        return damaged_;
    while (!eof_) {
        pos_ = end_;
        fill(kReadSize);
    }
    return damaged_;
}

bool LineReader::atEnd()
{
    return !vcf_ && pos_ == end_ && !fill(kReadSize);
}

qint64 LineReader::offsetAt(qsizetype at)
{
    while (pieceCursor_ + 1 < pieces_.size() && pieces_[pieceCursor_ + 1].at <= at)
        ++pieceCursor_;
    const TextPiece &piece = pieces_[pieceCursor_];
    return piece.offset + (at - piece.at);
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
        if (!fill(kReadSize))
            break;
    }
    if (damaged_ || (!lf && pos_ == end_))
        return false;
    char *data = buffer_.data();
    qsizetype stop = lf ? static_cast<const char *>(lf) - data : end_;
    // The stream's decoder keeps an unfinished sequence at the end of the
    // file waiting for more bytes, so it never shows.
    if (!lf)
        stop -= unfinishedSequenceLength(data + pos_, stop - pos_);
    offset = offsetAt(pos_);
    line = QByteArrayView(data + pos_, dropCarriageReturns(data + pos_, stop - pos_));
    pos_ = lf ? stop + 1 : end_;
    return true;
}

// A VCF's records as lines, each its own piece: their offsets are the
// records', not bytes of one text.
bool LineReader::readVcfChunk(TextChunk &chunk, qsizetype size)
{
    chunk.bytes_.resize(0); // keeps its memory
    chunk.pieces_.clear();
    QByteArrayView line;
    qint64 offset = 0;
    while (chunk.bytes_.size() < size && vcf_->readLine(line, offset)) {
        chunk.pieces_.push_back({chunk.bytes_.size(), offset});
        chunk.bytes_.append(line.data(), line.size()).append('\n');
    }
    chunk.next_ = 0;
    chunk.end_ = chunk.bytes_.size();
    chunk.carriageReturns_ = false;
    return chunk.end_ > 0;
}

bool LineReader::readChunk(TextChunk &chunk, qsizetype size)
{
    if (vcf_)
        return readVcfChunk(chunk, size);
    // At least `size` bytes, to the end of the line they end in, or of the text.
    qsizetype scanFrom = std::max<qsizetype>(size, 1) - 1; // counted from pos_
    const char *lf = nullptr;
    for (;;) {
        if (pos_ + scanFrom < end_) {
            lf = static_cast<const char *>(std::memchr(buffer_.constData() + pos_ + scanFrom, '\n',
                                                       size_t(end_ - pos_ - scanFrom)));
            if (lf)
                break;
        }
        scanFrom = std::max(scanFrom, end_ - pos_);
        if (!fill(size - (end_ - pos_)))
            break;
    }
    if (damaged_ || pos_ == end_)
        return false;
    const char *data = buffer_.constData();
    const qsizetype from = pos_;
    const qsizetype stop = lf ? lf + 1 - data : end_; // where the next chunk starts
    const qsizetype linesEnd = lf ? stop : stop - unfinishedSequenceLength(data + from, stop - from);
    chunk.pieces_.assign(pieces_.begin() + qsizetype(pieceOf(pieces_, from)),
                         pieces_.begin() + qsizetype(pieceOf(pieces_, std::max(from, linesEnd - 1))) + 1);
    if (linesEnd - from <= end_ - stop) {
        // Fewer bytes than remain: copy them out.
        chunk.bytes_.resize(linesEnd - from);
        std::memcpy(chunk.bytes_.data(), data + from, size_t(linesEnd - from));
        for (TextPiece &piece : chunk.pieces_)
            piece.at -= from;
        chunk.next_ = 0;
        chunk.end_ = linesEnd - from;
        chunk.carriageReturns_ = std::memchr(chunk.bytes_.constData(), '\r', size_t(chunk.end_));
        pos_ = stop;
        return true;
    }
    // Hand the buffer over, and keep what remains in the chunk's old one.
    std::swap(chunk.bytes_, buffer_);
    chunk.next_ = from;
    chunk.end_ = linesEnd;
    // One look for a CR in the whole chunk spares one per line.
    chunk.carriageReturns_ = std::memchr(chunk.bytes_.constData() + from, '\r', size_t(linesEnd - from));
    buffer_.resize(std::max(buffer_.size(), chunk.bytes_.size()));
    std::memcpy(buffer_.data(), chunk.bytes_.constData() + stop, size_t(end_ - stop));
    const size_t kept = pieceOf(pieces_, stop);
    pieces_.erase(pieces_.begin(), pieces_.begin() + qsizetype(kept));
    for (TextPiece &piece : pieces_)
        piece.at -= stop;
    pieceCursor_ = 0;
    end_ -= stop;
    pos_ = 0;
    return true;
}
