#include "linereader.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype kBlockSize = 1 << 20;

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

bool LineReader::open(const QString &path)
{
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly))
        return false;
    buffer_.resize(kBlockSize);
    const QByteArray head = file_.peek(4);
    const auto encoding = QStringConverter::encodingForData(head);
    startOffset_ = 0;
    inMemory_ = false;
    if (encoding == QStringConverter::Utf8) {
        startOffset_ = 3;
    } else if (encoding) {
        // Wide encodings are rare: decode them whole and read the result.
        QStringDecoder decode(*encoding);
        QString text = decode(file_.readAll());
        buffer_ = text.remove(u'\r').toUtf8();
        inMemory_ = true;
    }
    return seek(0);
}

bool LineReader::seek(qint64 offset)
{
    pos_ = 0;
    if (inMemory_) {
        if (offset < 0 || offset > buffer_.size())
            return false;
        pos_ = qsizetype(offset);
        bufferOffset_ = 0;
        end_ = buffer_.size();
        eof_ = true;
        return true;
    }
    offset = std::max(offset, startOffset_);
    end_ = 0;
    eof_ = false;
    bufferOffset_ = offset;
    return file_.seek(offset);
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
    }
    if (buffer_.size() - end_ < kBlockSize / 2)
        buffer_.resize(buffer_.size() * 2);
    const qint64 got = file_.read(buffer_.data() + end_, buffer_.size() - end_);
    if (got <= 0) {
        eof_ = true;
        return false;
    }
    end_ += qsizetype(got);
    return true;
}

bool LineReader::atEnd()
{
    return pos_ == end_ && !fill();
}

bool LineReader::readLine(QByteArrayView &line, qint64 &offset)
{
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
    if (!lf && pos_ == end_)
        return false;
    char *data = buffer_.data();
    qsizetype stop = lf ? static_cast<const char *>(lf) - data : end_;
    // The stream's decoder keeps an unfinished sequence at the end of the
    // file waiting for more bytes, so it never shows.
    if (!lf && !inMemory_)
        stop -= unfinishedSequenceLength(data + pos_, stop - pos_);
    offset = bufferOffset_ + pos_;
    const qsizetype length = inMemory_ ? stop - pos_ : dropCarriageReturns(data + pos_, stop - pos_);
    line = QByteArrayView(data + pos_, length);
    pos_ = lf ? stop + 1 : end_;
    return true;
}
