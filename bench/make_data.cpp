// Writes a realistic association results file for trying and measuring
// Tivrel: 23 chromosomes (1 to 22 and X) sized like the human genome, sorted
// positions, header "CHR POS P" (tab-separated), p-values as analysis tools
// write them (mostly 0.xxxxxx, a few peaks down to 1e-300, a few below a
// double's range, some "NA"). With --by-p the same rows come sorted by
// p-value, strongest first, so that nearly every row starts a new run.
//
//   tivrel-make-data ROWS OUT [--by-p] [--seed N] [--max-peak SCORE]
//
// --max-peak caps the peaks' height (-log10 p), for a plot that shows the
// ordinary markers at a readable scale.
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

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROWS OUT [--by-p] [--seed N] [--max-peak SCORE]\n", argv[0]);
        return 2;
    }
    const int64_t rows = std::atoll(argv[1]);
    const char *out = argv[2];
    bool byP = false;
    unsigned seed = 1;
    double maxPeak = 1e9;
    for (int i = 3; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--by-p"))
            byP = true;
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = unsigned(std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--max-peak") && i + 1 < argc)
            maxPeak = std::atof(argv[++i]);
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

    std::vector<Row> data;
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
            data.push_back({score, position, uint8_t(c)});
        }
    }
    if (byP) {
        std::stable_sort(data.begin(), data.end(), [](const Row &a, const Row &b) { return a.score > b.score; });
        // "NA" rows sorted last, as tools put them.
        std::stable_partition(data.begin(), data.end(), [](const Row &r) { return r.score >= 0; });
    }

    FILE *f = std::fopen(out, "wb");
    if (!f) {
        std::perror(out);
        return 1;
    }
    std::vector<char> buffer(1 << 20);
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    std::fputs("CHR\tPOS\tP\n", f);
    char p[64];
    for (const Row &r : data) {
        formatP(p, r.score);
        std::fprintf(f, "%s\t%d\t%s\n", kGenome[r.chromosome].label, r.position, p);
    }
    if (std::fclose(f) != 0) {
        std::perror(out);
        return 1;
    }
    return 0;
}
