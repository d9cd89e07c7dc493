// Where the bytes of a data file come from: the file itself, or the text
// that its compressed data stands for. A source hands out its bytes in
// pieces and tells where each piece starts, goes back to any place it has
// told, and says when its data turns out damaged. LineReader cuts the bytes
// of one source into lines. A new compression is one more class here.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <memory>

// Where the decompression of one file can start again part-way, taken while
// it was read from its start (opaque outside the source that takes them).
class SeekPoints;

class ByteSource
{
public:
    // A read() has room for at least this many bytes (a bgzip block's).
    static constexpr qint64 kMinRoom = 1 << 16;

    virtual ~ByteSource() = default;
    // Copies the next bytes to `to`, at most `room`: their number, 0 at the
    // end, -1 where the data turns out damaged or cut short. `offset` is
    // where the first of them stands, as seek() takes it; the others follow
    // it one by one.
    virtual qint64 read(char *to, qint64 room, qint64 &offset) = 0;
    // Reads on from an offset that read() told (0: the start); false when
    // it cannot.
    virtual bool seek(qint64 offset) = 0;
    // True once the data turned out damaged or cut short, in a read or a
    // seek; nothing more is read then.
    bool damaged() const { return damaged_; }
    // Whether the bytes are decompressed, and so can turn out damaged.
    virtual bool compressed() const { return true; }
    // The places taken while reading from the start, for a later reader of
    // the same file; and such places to start from.
    virtual std::shared_ptr<const SeekPoints> seekPoints() const { return nullptr; }
    virtual void useSeekPoints(std::shared_ptr<const SeekPoints>) {}
    // How many decompressed bytes apart the seek points are taken, at first.
    virtual void setSeekPointDistance(qint64) {}
    // From the next seek on, decompresses ahead on threads of its own where
    // it can: for a reader that parses on one thread, as a pick does.
    virtual void decompressAhead() {}

protected:
    qint64 fail()
    {
        damaged_ = true;
        return -1;
    }

private:
    bool damaged_ = false;
};

// Whether a file's first bytes are a zstd frame's, or a skippable frame's
// (which a frame follows).
bool startsAsZstd(QByteArrayView head);

// Opens the file as the source its first bytes call for: zstd, gzip or
// bgzip by their magic bytes, else the plain bytes. Null when the file
// cannot be opened for reading, or (`damaged` set) when compressed data is
// damaged from its start.
std::unique_ptr<ByteSource> openByteSource(const QString &path, bool &damaged);

// The bytes of the file as they are, read in large pieces; offsets are the
// file's own.
class PlainSource : public ByteSource
{
public:
    bool open(const QString &path);
    qint64 read(char *to, qint64 room, qint64 &offset) override;
    bool seek(qint64 offset) override;
    bool compressed() const override { return false; }

private:
    QFile file_;
};

// Text held in memory (a UTF-16 or UTF-32 file, decoded whole); offsets
// count its bytes.
class MemorySource : public ByteSource
{
public:
    explicit MemorySource(QByteArray bytes) : bytes_(std::move(bytes)) {}
    qint64 read(char *to, qint64 room, qint64 &offset) override;
    bool seek(qint64 offset) override;
    bool compressed() const override { return false; }

private:
    QByteArray bytes_;
    qint64 at_ = 0;
};

// A gzip file (any number of members one after the other) inflated by
// ISA-L; offsets count decompressed bytes. Reading from the start keeps
// seek points every few MiB, so that a later seek inflates from the nearest
// one before its offset instead of from the start.
class GzipSource : public ByteSource
{
public:
    GzipSource();
    ~GzipSource() override;
    bool open(const QString &path);
    qint64 read(char *to, qint64 room, qint64 &offset) override;
    bool seek(qint64 offset) override;
    std::shared_ptr<const SeekPoints> seekPoints() const override;
    void useSeekPoints(std::shared_ptr<const SeekPoints> points) override;
    void setSeekPointDistance(qint64 distance) override;

private:
    struct Inflater;
    std::unique_ptr<Inflater> in_;
};

// A bgzip file (block gzip, as tabix-indexed files are) read through
// htslib, on threads of its own when it is big; offsets are BGZF virtual
// offsets (block address << 16 | offset in the block), so that a seek
// decompresses from that block on.
class BgzipSource : public ByteSource
{
public:
    ~BgzipSource() override;
    bool open(const QString &path);
    qint64 read(char *to, qint64 room, qint64 &offset) override;
    bool seek(qint64 offset) override;
    void decompressAhead() override;

private:
    bool reopen(qint64 offset);
    bool endConfirmed();

    QString path_;
    struct BGZF *bgzf_ = nullptr;
    bool threads_ = false;
    bool bigFile_ = false;
    qint64 dataEnd_ = 0; // file offset after the last block read
};

// A zstd file (any number of frames, as PLINK 2 and the zstd tool write
// them); offsets count decompressed bytes.
class ZstdSource : public ByteSource
{
public:
    ZstdSource();
    ~ZstdSource() override;
    bool open(const QString &path);
    qint64 read(char *to, qint64 room, qint64 &offset) override;
    bool seek(qint64 offset) override;

private:
    struct Decoder;
    std::unique_ptr<Decoder> d_;
};
