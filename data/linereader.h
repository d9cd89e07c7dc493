// Reads a data file line by line the way a text-mode QTextStream in the
// locale's encoding does (every CR dropped, lines end at LF, a leading
// byte-order mark skipped, UTF-16/32 files decoded), but over raw bytes and
// without any allocation per line. A file starting with the gzip magic
// bytes is read decompressed, whatever its name: plain gzip, or bgzip
// (block gzip, as tabix-indexed files are); a big one is decompressed on
// threads of its own. A GWAS-VCF file (VCF or BCF by its content) is read
// through its own source, one line per record (vcf.h).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>

#include <memory>
#include <vector>

struct BGZF;
class GzipAhead;
class VcfSource;

class LineReader
{
public:
    LineReader();
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;
    ~LineReader();

    // Opens the file; false when it cannot be opened for reading (or its
    // compressed data is damaged from the start, see damaged()).
    bool open(const QString &path);
    // True for a file of no bytes at all (decompressed, for a compressed one).
    bool isEmpty() const { return empty_; }
    // True when no line is left, as QTextStream::atEnd (text files only).
    bool atEnd();
    // The next line without its terminator; the view stays valid until the
    // next call. offset is where the line starts, usable with seek(): the
    // byte offset in the file, the decompressed one in a gzip file, and a
    // BGZF virtual offset (block address << 16 | offset in the block) in a
    // bgzip file, so that a seek there reads that block only.
    bool readLine(QByteArrayView &line, qint64 &offset);
    // Continues reading at an offset given by readLine (0 is the start).
    // In a gzip file, which cannot seek, going back decompresses again from
    // the start.
    bool seek(qint64 offset);
    // True once compressed data turned out damaged or cut short, or a VCF
    // record could not be read; reading then stops as at the end of the file.
    bool damaged() const;
    // Whether that was a VCF record, not the compressed data.
    bool unreadableRecord() const;
    // The source of a GWAS-VCF file's lines (null for other files).
    const VcfSource *vcf() const { return vcf_.get(); }
    // Reads the rest of a compressed file to tell whether it is damaged: a
    // gzip file's checksum comes only at its end, so a damaged one can give
    // wrong lines before. For a line that looks wrong.
    bool restIsDamaged();

private:
    enum class Source { Plain, Gzip, Bgzip };
    // A bgzip block's bytes in buffer_: from `at` (counted like
    // bufferOffset_), with virtual offset `start`.
    struct Block {
        qint64 at;
        qint64 start;
    };

    bool fill();
    qint64 readCompressed(); // appends one block's bytes; -1 at the end
    bool openCompressed(qint64 start);
    bool rewindCompressed(qint64 skip);
    bool seekCompressed(qint64 offset);
    qint64 virtualOffset(qint64 at);
    bool endConfirmed();
    void fail();

    QFile file_;
    QString path_;
    Source source_ = Source::Plain;
    BGZF *bgzf_ = nullptr;
    std::unique_ptr<GzipAhead> ahead_; // gzip: decompresses on its own thread
    std::unique_ptr<VcfSource> vcf_;
    std::vector<Block> blocks_; // bgzip: the blocks in buffer_, in order
    size_t blockCursor_ = 0;    // the block of the last line returned
    qint64 skip_ = 0;           // decompressed bytes still to drop before reading
    qint64 dataEnd_ = 0;        // bgzip: file offset after the last block read
    QByteArray buffer_;
    qsizetype pos_ = 0;       // next unread byte in buffer_
    qsizetype end_ = 0;       // end of the valid bytes in buffer_
    qint64 bufferOffset_ = 0; // offset of buffer_[0] in the source
    qint64 startOffset_ = 0;  // where the text begins (after a byte-order mark)
    bool eof_ = false;
    bool empty_ = false;
    bool damaged_ = false;
    bool threads_ = false; // a big compressed file: decompressed on threads
    bool untouched_ = false; // nothing read yet since the compressed source's start
    bool inMemory_ = false; // UTF-16/32 files are decoded whole into buffer_
};
