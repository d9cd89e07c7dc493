// Writes a realistic association results file for trying and measuring
// Tivrel: 23 chromosomes (1 to 22 and X) sized like the human genome, sorted
// positions, header "CHR POS P" (tab-separated), p-values as analysis tools
// write them (mostly 0.xxxxxx, a few peaks down to 1e-300, a few below a
// double's range, some "NA"). With --by-p the same rows come sorted by
// p-value, strongest first, so that nearly every row starts a new run.
//
//   tivrel-make-data ROWS OUT [--by-p] [--seed N] [--max-peak SCORE]
//                    [--layout plink19|regenie|wide] [--gzip | --bgzip | --zstd]
//
// --max-peak caps the peaks' height (-log10 p), for a plot that shows the
// ordinary markers at a readable scale.
// --layout writes the same rows as a common tool does: PLINK 1.9's
// .assoc.logistic (columns aligned with runs of spaces, X as 23), REGENIE
// (space-delimited, -log10 p in LOG10P), or "wide", a tab-separated file of
// 20 columns like the big published summary statistics, p-value in column 15.
// --gzip, --bgzip and --zstd write the file compressed (bgzip: block gzip,
// as tabix-indexed files are; zstd as PLINK 2 writes it). Sorted rows are
// written as they are made, so that 100 million of them need no memory;
// --by-p holds them all (16 bytes a row) to sort them.
#include <htslib/bgzf.h>
#include <zstd.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct Chromosome {
    const char *label;
    int64_t length;
};

const Chromosome kGenome[] = {
    {"1", 249250621},  {"2", 243199373},  {"3", 198022430},  {"4", 191154276},  {"5", 180915260},
    {"6", 171115067},  {"7", 159138663},  {"8", 146364022},  {"9", 141213431},  {"10", 135534747},
    {"11", 135006516}, {"12", 133851895}, {"13", 115169878}, {"14", 107349540}, {"15", 102531392},
    {"16", 90354753},  {"17", 81195210},  {"18", 78077248},  {"19", 59128983},  {"20", 63025520},
    {"21", 48129895},  {"22", 51304566},  {"X", 155270560},
};

struct Row {
    double score; // -log10(p) at full precision, so a sort by p has no ties; negative marks "NA"
    int position;
    uint8_t chromosome;
};

struct Peak {
    int chromosome;
    double centre;   // position
    double width;    // bp
    double height;   // -log10(p) at the top
};

// The p-value text for a score, in the forms tools write.
int formatP(char *out, double score)
{
    if (score < 0)
        return std::sprintf(out, "NA");
    if (score > 307) { // below a double's range: written from the score
        const double e = std::floor(-score);
        return std::sprintf(out, "%.3ge%d", std::pow(10.0, -score - e), int(e));
    }
    const double p = std::pow(10.0, -score);
    if (p >= 1e-4)
        return std::sprintf(out, "%.6f", p);
    return std::sprintf(out, "%.4g", p);
}

enum class Layout { Plain, Plink19, Regenie, Wide };

// Where the rows go: a plain file, or through gzip, bgzip or zstd
// compression.
class Output
{
public:
    // compression: htslib's mode ("wg" gzip, "w" bgzip), "zstd", or null.
    bool open(const char *path, const char *compression)
    {
        if (!compression || !std::strcmp(compression, "zstd")) {
            file_ = std::fopen(path, "wb");
            if (file_)
                std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
            if (file_ && compression) {
                // As the zstd tool writes: level 3 and a checksum, here on two threads.
                zstd_ = ZSTD_createCCtx();
                ZSTD_CCtx_setParameter(zstd_, ZSTD_c_compressionLevel, 3);
                ZSTD_CCtx_setParameter(zstd_, ZSTD_c_checksumFlag, 1);
                ZSTD_CCtx_setParameter(zstd_, ZSTD_c_nbWorkers, 2);
            }
            return file_;
        }
        bgzf_ = bgzf_open(path, compression);
        if (bgzf_ && !std::strcmp(compression, "w")) // bgzip blocks compress on two threads
            bgzf_mt(bgzf_, 2, 256);
        return bgzf_;
    }
    void write(const char *text, size_t size)
    {
        if (zstd_)
            compress(text, size, ZSTD_e_continue);
        else if (file_)
            ok_ = ok_ && std::fwrite(text, 1, size, file_) == size;
        else
            ok_ = ok_ && bgzf_write(bgzf_, text, size) == ssize_t(size);
    }
    bool close()
    {
        if (zstd_) {
            compress(nullptr, 0, ZSTD_e_end);
            ZSTD_freeCCtx(zstd_);
        }
        const bool closed = file_ ? std::fclose(file_) == 0 : bgzf_close(bgzf_) == 0;
        return ok_ && closed;
    }

private:
    void compress(const char *text, size_t size, ZSTD_EndDirective mode)
    {
        ZSTD_inBuffer in{text, size, 0};
        for (bool done = false; ok_ && !done;) {
            ZSTD_outBuffer out{packed_.data(), packed_.size(), 0};
            const size_t left = ZSTD_compressStream2(zstd_, &out, &in, mode);
            ok_ = !ZSTD_isError(left) && std::fwrite(packed_.data(), 1, out.pos, file_) == out.pos;
            done = mode == ZSTD_e_end ? left == 0 : in.pos == in.size;
        }
    }

    std::vector<char> buffer_ = std::vector<char>(1 << 20);
    std::vector<char> packed_ = std::vector<char>(1 << 20);
    FILE *file_ = nullptr;
    BGZF *bgzf_ = nullptr;
    ZSTD_CCtx *zstd_ = nullptr;
    bool ok_ = true;
};

const char *header(Layout layout)
{
    switch (layout) {
    case Layout::Plain:
        break;
    case Layout::Plink19:
        return " CHR         SNP         BP   A1       TEST    NMISS         OR         STAT            P \n";
    case Layout::Regenie:
        return "CHROM GENPOS ID ALLELE0 ALLELE1 A1FREQ INFO N TEST BETA SE CHISQ LOG10P EXTRA\n";
    case Layout::Wide:
        return "chr\tpos\tref\talt\trsid\tnearest_genes\taf\taf_cases\taf_controls\tbeta\tsebeta\t"
               "n_cases\tn_controls\tinfo\tpval\tmlogp\tlow_confidence\thet_i2\tac\tan\n";
    }
    return "CHR\tPOS\tP\n";
}

// One row in the layout; `index` numbers the rows (rsid, alleles, effects).
int formatRow(char *out, Layout layout, const char *chromosome, int position, double score, const char *p,
              uint64_t index)
{
    const char bases[] = "ACGT";
    const char ref = bases[index % 4], alt = bases[(index % 4 + 1 + index / 4 % 3) % 4];
    const double freq = 0.01 + double(index * 2654435761u % 4900) / 10000;
    const double beta = double(int64_t(index * 40503u % 2001) - 1000) / 20000;
    switch (layout) {
    case Layout::Plain:
        break;
    case Layout::Plink19: {
        char snp[24], odds[24], stat[24];
        std::sprintf(snp, "rs%" PRIu64, 1000 + index);
        std::sprintf(odds, "%.4g", std::exp(beta));
        std::sprintf(stat, "%.4g", beta * 40);
        return std::sprintf(out, "%4s %11s %10d %4c %10s %8d %10s %12s %12s \n",
                            std::strcmp(chromosome, "X") ? chromosome : "23", snp, position, alt, "ADD",
                            11000 + int(index % 977), score < 0 ? "NA" : odds, score < 0 ? "NA" : stat, p);
    }
    case Layout::Regenie:
        if (score < 0)
            return std::sprintf(out, "%s %d %s:%d:%c:%c %c %c %.4f 1 12000 ADD NA NA NA NA TEST_FAIL\n", chromosome,
                                position, chromosome, position, ref, alt, ref, alt, freq);
        return std::sprintf(out, "%s %d %s:%d:%c:%c %c %c %.4f 1 12000 ADD %.5g %.4g %.4g %.6g NA\n", chromosome,
                            position, chromosome, position, ref, alt, ref, alt, freq, beta, 0.02 + freq / 50,
                            score * 4.6, score);
    case Layout::Wide:
        return std::sprintf(out,
                            "%s\t%d\t%c\t%c\trs%" PRIu64 "\tGENE%d\t%.4f\t%.4f\t%.4f\t%.4g\t%.4g\t%d\t%d\t%.3f\t%s"
                            "\t%.4g\t%s\t%.2f\t%d\t%d\n",
                            chromosome, position, ref, alt, 1000 + index, int(index % 20000), freq, freq * 1.02,
                            freq * 0.99, beta, 0.02 + freq / 50, 20000 + int(index % 500), 300000, 0.9 + freq / 5, p,
                            score < 0 ? 0.0 : score, freq < 0.05 ? "true" : "false", freq * 100, int(freq * 600000),
                            600000);
    }
    return std::sprintf(out, "%s\t%d\t%s\n", chromosome, position, p);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s ROWS OUT [--by-p] [--seed N] [--max-peak SCORE] [--layout plink19|regenie|wide]"
                     " [--gzip | --bgzip | --zstd]\n",
                     argv[0]);
        return 2;
    }
    const int64_t rows = std::atoll(argv[1]);
    const char *out = argv[2];
    bool byP = false;
    unsigned seed = 1;
    double maxPeak = 1e9;
    Layout layout = Layout::Plain;
    const char *compression = nullptr; // see Output::open
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--by-p")) {
            byP = true;
        } else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc) {
            seed = unsigned(std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--max-peak") && i + 1 < argc) {
            maxPeak = std::atof(argv[++i]);
        } else if (!std::strcmp(argv[i], "--layout") && i + 1 < argc) {
            const char *name = argv[++i];
            if (!std::strcmp(name, "plink19")) {
                layout = Layout::Plink19;
            } else if (!std::strcmp(name, "regenie")) {
                layout = Layout::Regenie;
            } else if (!std::strcmp(name, "wide")) {
                layout = Layout::Wide;
            } else {
                std::fprintf(stderr, "unknown layout %s (plink19, regenie or wide)\n", name);
                return 2;
            }
        } else if (!std::strcmp(argv[i], "--gzip")) {
            compression = "wg";
        } else if (!std::strcmp(argv[i], "--bgzip")) {
            compression = "w";
        } else if (!std::strcmp(argv[i], "--zstd")) {
            compression = "zstd";
        } else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    if (rows < 2) {
        std::fprintf(stderr, "ROWS must be at least 2\n");
        return 2;
    }

    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    const int nChr = int(sizeof kGenome / sizeof kGenome[0]);
    int64_t genome = 0;
    for (const auto &c : kGenome)
        genome += c.length;

    // A dozen peaks: most moderate, two reaching 1e-300, one below a double.
    std::vector<Peak> peaks;
    const double heights[] = {9, 12, 15, 8.5, 20, 11, 40, 300, 30, 10, 420, 25};
    for (double h : heights) {
        const int c = int(uniform(rng) * nChr);
        peaks.push_back({c, uniform(rng) * double(kGenome[c].length), 150000 + uniform(rng) * 300000,
                         std::min(h, maxPeak)});
    }

    Output output;
    if (!output.open(out, compression)) {
        std::perror(out);
        return 1;
    }
    const char *head = header(layout);
    output.write(head, std::strlen(head));
    uint64_t index = 0;
    const auto write = [&](const Row &r) {
        char p[64], line[512];
        formatP(p, r.score);
        const int n = formatRow(line, layout, kGenome[r.chromosome].label, r.position, r.score, p, index++);
        output.write(line, size_t(n));
    };

    std::vector<Row> data; // rows to sort by p
    if (byP)
        data.reserve(size_t(rows));
    int64_t done = 0;
    for (int c = 0; c < nChr; ++c) {
        const int64_t n = c == nChr - 1 ? rows - done : rows * kGenome[c].length / genome;
        done += n;
        const double step = double(kGenome[c].length) / double(n + 1);
        for (int64_t i = 0; i < n; ++i) {
            const int position = int(step * double(i) + uniform(rng) * step * 0.9) + 1;
            double score = -std::log10(std::max(uniform(rng), 1e-12));
            for (const Peak &peak : peaks) {
                if (peak.chromosome != c)
                    continue;
                const double d = (position - peak.centre) / peak.width;
                if (std::fabs(d) < 3)
                    score = std::max(score, peak.height * std::exp(-d * d * 4) * (0.6 + 0.4 * uniform(rng)));
            }
            if (uniform(rng) < 0.003)
                score = -1; // NA
            const Row row{score, position, uint8_t(c)};
            if (byP)
                data.push_back(row);
            else
                write(row);
        }
    }
    if (byP) {
        std::stable_sort(data.begin(), data.end(), [](const Row &a, const Row &b) { return a.score > b.score; });
        // "NA" rows sorted last, as tools put them.
        std::stable_partition(data.begin(), data.end(), [](const Row &r) { return r.score >= 0; });
        for (const Row &r : data)
            write(r);
    }
    if (!output.close()) {
        std::perror(out);
        return 1;
    }
    return 0;
}
