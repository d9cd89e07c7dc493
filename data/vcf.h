// GWAS-VCF association files (VCF text, plain, gzipped or bgzipped, and
// BCF), read through htslib's VCF/BCF reader. Each record becomes one line
// "CHROM<TAB>POS<TAB>LP" (LP: the -log10 p-value of the first sample, "NA"
// where the record has none), so the rows read as a tab-separated file of
// three columns would, with offsets that seek back to a record: BGZF
// virtual offsets for bgzip and BCF files (a pick reads from the block where
// its run begins), byte offsets in the text otherwise.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct htsFile;
struct bcf_hdr_t;
struct bcf1_t;

class VcfSource
{
public:
    VcfSource() = default;
    VcfSource(const VcfSource &) = delete;
    VcfSource &operator=(const VcfSource &) = delete;
    ~VcfSource();

    // Whether the file's content, decompressed, is VCF or BCF, whatever its
    // name.
    static bool isVcf(const QString &path);

    // Opens the file and reads its header; false when it cannot be read.
    bool open(const QString &path);
    // Whether the header declares the LP field and at least one sample.
    bool hasLp() const { return hasLp_; }
    QString sampleName() const { return sample_; }

    // The next record's line; the view stays valid until the next call.
    bool readLine(QByteArrayView &line, qint64 &offset);
    // Continues at an offset readLine gave (0: the first record).
    bool seek(qint64 offset);
    // True once a record could not be read (damaged compressed data, a
    // malformed record); reading then stops as at the end.
    bool failed() const { return failed_; }
    // Whether that was the compressed data's fault rather than a record's.
    bool compressionDamaged() const { return compressionDamaged_; }

private:
    bool openFile();
    bool recordSizePlausible();
    void close();
    qint64 tell() const;
    void fail();

    QString path_;
    htsFile *file_ = nullptr;
    bcf_hdr_t *header_ = nullptr;
    bcf1_t *record_ = nullptr;
    int lpId_ = -1;
    bool hasLp_ = false;
    bool gzip_ = false; // plain gzip: no seeking, offsets count decompressed bytes
    bool failed_ = false;
    bool compressionDamaged_ = false;
    qint64 firstRecord_ = 0;
    QString sample_;
    QByteArray line_;
};
