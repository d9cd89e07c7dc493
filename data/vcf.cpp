#include "vcf.h"

#include "sources.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <htslib/bgzf.h>
#include <htslib/hfile.h>
#include <htslib/hts.h>
#include <htslib/hts_log.h>
#include <htslib/vcf.h>

#include <charconv>
#include <cstring>

namespace {

QByteArray fileName(const QString &path)
{
    // An absolute path: htslib takes a name such as "ftp:x" for a URL.
    return QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

} // namespace

VcfSource::~VcfSource()
{
    close();
}

namespace {

struct Head
{
    int format = unknown_format;
    quint32 bcfHeaderLength = 0; // as the BCF file says, before its text
};

// The format by the file's first bytes, decompressed: htslib's own guess
// sees only the first compressed block, which may hold fewer.
Head headOf(const QString &path)
{
    hts_set_log_level(HTS_LOG_OFF);
    BGZF *file = bgzf_open(fileName(path).constData(), "r"); // plain files read as they are
    if (!file)
        return {};
    char head[16];
    const ssize_t size = bgzf_read(file, head, sizeof head);
    const bool closed = bgzf_close(file) == 0;
    if (closed && size >= 9 && std::memcmp(head, "BCF\2", 4) == 0)
        return {bcf, qFromLittleEndian<quint32>(head + 5)};
    if (closed && size >= 4 && std::memcmp(head, "BCF\2", 4) == 0)
        return {bcf};
    if (closed && size == sizeof head && std::memcmp(head, "##fileformat=VCF", sizeof head) == 0)
        return {vcf};
    return {};
}

int formatOf(const QString &path)
{
    return headOf(path).format;
}

// htslib allocates a BCF header's length as it stands, up to 4 GB for
// damaged data. No file holds more text than deflate's best ratio (1032:1)
// makes of its size.
bool bcfHeaderPlausible(const Head &head, const QString &path)
{
    constexpr qint64 kDeflateRatio = 1032;
    return head.format != bcf || qint64(head.bcfHeaderLength) <= QFileInfo(path).size() * kDeflateRatio;
}

} // namespace

// A gzip file whose header htslib refuses (a reserved flag set) may still
// hold a VCF, as the program's own inflater reads it.
bool gzippedVcf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(2) != "\x1f\x8b")
        return false;
    bool damaged = false;
    const std::unique_ptr<ByteSource> source = openByteSource(path, damaged);
    QByteArray head(ByteSource::kMinRoom, '\0');
    qint64 offset = 0;
    const qint64 size = source ? source->read(head.data(), head.size(), offset) : 0;
    return size >= 16 && (head.startsWith("BCF\2") || head.startsWith("##fileformat=VCF"));
}

bool VcfSource::isVcf(const QString &path)
{
    return formatOf(path) != unknown_format || gzippedVcf(path);
}

bool VcfSource::open(const QString &path)
{
    path_ = QFileInfo(path).absoluteFilePath();
    if (formatOf(path_) == unknown_format) { // compressed in a way htslib cannot read
        compressionDamaged_ = true;
        failed_ = true;
        return true;
    }
    if (!openFile())
        return false;
    if (!failed_) {
        lpId_ = bcf_hdr_id2int(header_, BCF_DT_ID, "LP");
        hasLp_ = bcf_hdr_nsamples(header_) > 0 && bcf_hdr_idinfo_exists(header_, BCF_HL_FMT, lpId_)
            && bcf_hdr_id2type(header_, BCF_HL_FMT, lpId_) == BCF_HT_REAL;
        sample_ = hasLp_ ? QString::fromUtf8(header_->samples[0]) : QString();
        firstRecord_ = tell();
    }
    return true;
}

// Opens the file and reads its header. False when the file cannot be
// opened; a header that cannot be read fails the source.
bool VcfSource::openFile()
{
    close();
    hts_set_log_level(HTS_LOG_OFF);
    file_ = hts_open(QFile::encodeName(path_).constData(), "r");
    if (!file_)
        return false;
    htsFormat *format = &file_->format;
    const Head head = headOf(path_);
    format->format = htsExactFormat(head.format);
    gzip_ = format->compression == gzip;
    // A bgzip file cut at a block's end reads without error: only its
    // missing end-of-file block tells.
    if (format->compression == bgzf && bgzf_check_EOF(file_->fp.bgzf) != 1) {
        compressionDamaged_ = true;
        fail();
        return true;
    }
    if (!bcfHeaderPlausible(head, path_)) {
        fail();
        return true;
    }
    header_ = bcf_hdr_read(file_);
    record_ = bcf_init();
    if (!header_ || !record_)
        fail();
    return true;
}

void VcfSource::close()
{
    if (record_)
        bcf_destroy(record_);
    if (header_)
        bcf_hdr_destroy(header_);
    if (file_ && hts_close(file_) != 0)
        failed_ = true;
    record_ = nullptr;
    header_ = nullptr;
    file_ = nullptr;
}

void VcfSource::fail()
{
    failed_ = true;
    compressionDamaged_ = compressionDamaged_ || (file_ && file_->is_bgzf && file_->fp.bgzf->errcode != 0);
}

// Where the next record starts: a virtual offset in BGZF data, a byte
// offset in plain text, the decompressed offset in plain gzip.
qint64 VcfSource::tell() const
{
    if (!file_->is_bgzf)
        return htell(file_->fp.hfile);
    return gzip_ ? bgzf_utell(file_->fp.bgzf) : bgzf_tell(file_->fp.bgzf);
}

// htslib takes a BCF record's two lengths as they stand and allocates them,
// up to 8 GB for damaged data: a record far beyond any GWAS-VCF record's
// size is a damaged one. Looked at where the block in memory holds them.
bool VcfSource::recordSizePlausible()
{
    constexpr quint64 kLargestRecord = quint64(64) << 20;
    BGZF *bgzf = file_->fp.bgzf;
    if (bgzf->block_offset >= bgzf->block_length && bgzf_read_block(bgzf) != 0)
        return false;
    if (bgzf->block_length - bgzf->block_offset < 8)
        return true; // at the end, or across two blocks: htslib judges
    const uchar *lengths = static_cast<const uchar *>(bgzf->uncompressed_block) + bgzf->block_offset;
    return quint64(qFromLittleEndian<quint32>(lengths)) + qFromLittleEndian<quint32>(lengths + 4) <= kLargestRecord;
}

bool VcfSource::readLine(QByteArrayView &line, qint64 &offset)
{
    if (failed_)
        return false;
    if (hts_get_format(file_)->format == bcf && !recordSizePlausible()) {
        fail();
        return false;
    }
    offset = tell();
    const int status = bcf_read(file_, header_, record_);
    // htslib's VCF reading takes a block it could not decompress for the end.
    if (status == -1 && !(file_->is_bgzf && file_->fp.bgzf->errcode != 0))
        return false; // the end
    // A contig or tag the header does not declare htslib adds: no fault.
    if (status < 0 || (record_->errcode & ~(BCF_ERR_CTG_UNDEF | BCF_ERR_TAG_UNDEF)) != 0) {
        fail();
        return false;
    }
    const char *chromosome = bcf_hdr_id2name(header_, record_->rid);
    const qsizetype length = qsizetype(std::strlen(chromosome));
    line_.resize(std::max<qsizetype>(line_.size(), length + 64));
    char *out = line_.data();
    std::memcpy(out, chromosome, size_t(length));
    out += length;
    *out++ = '\t';
    out = std::to_chars(out, line_.data() + line_.size(), qint64(record_->pos) + 1).ptr;
    *out++ = '\t';
    // The first sample's first value, found by the field's number rather
    // than its name; "NA" where it has none.
    const bcf_fmt_t *lp = hasLp_ ? bcf_get_fmt_id(record_, lpId_) : nullptr;
    float value = 0;
    if (lp && lp->type == BCF_BT_FLOAT && lp->n > 0) {
        // Little-endian, and not always aligned.
        const quint32 bits = qFromLittleEndian<quint32>(lp->p);
        std::memcpy(&value, &bits, sizeof value);
    }
    if (lp && lp->type == BCF_BT_FLOAT && lp->n > 0 && !bcf_float_is_missing(value)
        && !bcf_float_is_vector_end(value)) {
        // The shortest text of the float, as the tool wrote it.
        out = std::to_chars(out, line_.data() + line_.size(), value).ptr;
    } else {
        *out++ = 'N';
        *out++ = 'A';
    }
    line = QByteArrayView(line_.constData(), out - line_.constData());
    return true;
}

bool VcfSource::seek(qint64 offset)
{
    if (failed_)
        return false;
    offset = std::max(offset, firstRecord_);
    if (!file_->is_bgzf)
        return hseek(file_->fp.hfile, offset, SEEK_SET) >= 0;
    if (!gzip_) {
        if (bgzf_seek(file_->fp.bgzf, offset, SEEK_SET) >= 0)
            return true;
        fail(); // compressed data that cannot be reached
        return false;
    }
    // Plain gzip cannot seek: read on, or again from the start, to the record.
    if (offset < tell() && (!openFile() || failed_))
        return false;
    const bool text = hts_get_format(file_)->format == vcf;
    while (tell() < offset) {
        if ((text ? hts_getline(file_, '\n', &file_->line) : bcf_read(file_, header_, record_)) < 0) {
            fail();
            return false;
        }
    }
    return true;
}
