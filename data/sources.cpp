#include "sources.h"

#include <QFileInfo>
#include <QtEndian>

#include <htslib/bgzf.h>
#include <htslib/hts_log.h>

#include <cstring>

namespace {

enum class Kind { Plain, Gzip, Bgzip, Zstd, Damaged };

// Gzip and bgzip share their magic bytes: htslib tells them apart, as it
// reads them (a bgzip file's first member says so in its header).
Kind gzipKind(const QString &path)
{
    hts_set_log_level(HTS_LOG_OFF);
    // An absolute path: htslib takes a name such as "ftp:x" for a URL.
    BGZF *bgzf = bgzf_open(QFile::encodeName(QFileInfo(path).absoluteFilePath()).constData(), "r");
    if (!bgzf)
        return Kind::Damaged;
    const int compression = bgzf_compression(bgzf);
    bgzf_close(bgzf);
    return compression == 1 ? Kind::Gzip : compression == 2 ? Kind::Bgzip : Kind::Damaged;
}

template <class Source>
std::unique_ptr<ByteSource> opened(const QString &path, bool &damaged)
{
    auto source = std::make_unique<Source>();
    if (source->open(path))
        return source;
    damaged = true;
    return nullptr;
}

} // namespace

bool startsAsZstd(QByteArrayView head)
{
    if (head.size() < 4)
        return false;
    const quint32 magic = qFromLittleEndian<quint32>(head.data());
    // A frame, or a skippable frame before one.
    return magic == 0xFD2FB528u || (magic & 0xFFFFFFF0u) == 0x184D2A50u;
}

std::unique_ptr<ByteSource> openByteSource(const QString &path, bool &damaged)
{
    damaged = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray head = file.read(4);
    file.close();
    Kind kind = Kind::Plain;
    if (startsAsZstd(head))
        kind = Kind::Zstd;
    else if (head.startsWith("\x1f\x8b"))
        kind = gzipKind(path);
    switch (kind) {
    case Kind::Plain: {
        auto plain = std::make_unique<PlainSource>();
        return plain->open(path) ? std::move(plain) : nullptr;
    }
    case Kind::Gzip:
        return opened<GzipSource>(path, damaged);
    case Kind::Bgzip:
        return opened<BgzipSource>(path, damaged);
    case Kind::Zstd:
        return opened<ZstdSource>(path, damaged);
    case Kind::Damaged:
        break;
    }
    damaged = true;
    return nullptr;
}

bool PlainSource::open(const QString &path)
{
    file_.setFileName(path);
    // Unbuffered: the reads are large and go straight to the caller's buffer.
    return file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 PlainSource::read(char *to, qint64 room, qint64 &offset)
{
    offset = file_.pos();
    // A read error ends the file, as it ends a text stream.
    return std::max<qint64>(file_.read(to, room), 0);
}

bool PlainSource::seek(qint64 offset)
{
    return file_.seek(offset);
}

qint64 MemorySource::read(char *to, qint64 room, qint64 &offset)
{
    const qint64 n = std::min(room, bytes_.size() - at_);
    std::memcpy(to, bytes_.constData() + at_, size_t(n));
    offset = at_;
    at_ += n;
    return n;
}

bool MemorySource::seek(qint64 offset)
{
    if (offset < 0 || offset > bytes_.size())
        return false;
    at_ = offset;
    return true;
}
