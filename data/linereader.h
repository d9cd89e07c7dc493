// Reads a data file line by line the way a text-mode QTextStream in the
// locale's encoding does (every CR dropped, lines end at LF, a leading
// byte-order mark skipped, UTF-16/32 files decoded), but over raw bytes and
// without any allocation per line. The bytes come from a ByteSource: the
// file's own, or, whatever its name, the text of a gzip, bgzip or zstd file
// (told by their magic bytes). The lines can also be taken in chunks of
// many, to be split and converted on other threads. A GWAS-VCF file (VCF
// or BCF by its content) is read through its own source, one line per
// record (vcf.h).
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <vector>

class ByteSource;
class SeekPoints;
class VcfSource;

// Bytes from `at` on (in a buffer) stand at `offset` on in the source.
struct TextPiece {
    qsizetype at;
    qint64 offset;
};

// Whole lines of the text, cut from the reader, to be read apart from it.
class TextChunk
{
public:
    // The next line without its terminator, CRs dropped (in place); `at`
    // is where it starts, for offsetAt(). False after the last line.
    bool readLine(QByteArrayView &line, qsizetype &at);
    // Where the line starting at `at` stands in the file, as
    // LineReader::readLine tells it.
    qint64 offsetAt(qsizetype at) const;

private:
    friend class LineReader;
    QByteArray bytes_;
    qsizetype next_ = 0, end_ = 0; // the lines not read yet
    bool carriageReturns_ = false; // the lines hold a CR somewhere
    std::vector<TextPiece> pieces_;
};

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
    // byte offset in the file, the decompressed one in a gzip or zstd file,
    // and a BGZF virtual offset (block address << 16 | offset in the block)
    // in a bgzip file, so that a seek there reads that block only.
    bool readLine(QByteArrayView &line, qint64 &offset);
    // The next lines, about `size` bytes of them (more for a longer line),
    // into `chunk`, which keeps its memory from one use to the next. False
    // when no line is left.
    bool readChunk(TextChunk &chunk, qsizetype size);
    // Continues reading at an offset given by readLine (0 is the start). In
    // a gzip or zstd file, which cannot seek, going back decompresses again
    // from the nearest seek point before it, or from the start.
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
    // The seek points taken while reading a gzip file from its start, and
    // the points a later reader of the same file may start from.
    std::shared_ptr<const SeekPoints> seekPoints() const;
    void useSeekPoints(std::shared_ptr<const SeekPoints> points);
    // From the next seek on, the source decompresses ahead on threads of its
    // own where it can (see ByteSource): that seek starts them, even to bytes
    // already read.
    void decompressAhead();
    // How many decompressed bytes apart those points are taken (from 4 MiB
    // on); set before open().
    void setSeekPointDistance(qint64 distance) { seekPointDistance_ = distance; }

private:
    bool fill(qint64 wanted);
    qint64 offsetAt(qsizetype at);
    qsizetype bufferedAt(qint64 offset) const;
    void dropBufferedBefore(qsizetype at);

    bool readVcfChunk(TextChunk &chunk, qsizetype size);

    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<VcfSource> vcf_;
    QByteArray buffer_;
    std::vector<TextPiece> pieces_; // where the bytes of buffer_ came from, in order
    size_t pieceCursor_ = 0;        // the piece of the last line returned
    qsizetype pos_ = 0;       // next unread byte in buffer_
    qsizetype end_ = 0;       // end of the valid bytes in buffer_
    qint64 startOffset_ = 0;  // where the text begins (after a byte-order mark)
    qint64 seekPointDistance_ = 4 << 20;
    bool sourceSeekDue_ = false; // the next seek goes to the source, bytes buffered or not
    bool eof_ = false;
    bool empty_ = false;
    bool damaged_ = false;
};
