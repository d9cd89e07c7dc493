// The two painters: the genome-wide Manhattan plot and the chromosome plot.
// Plain functions of their inputs; the window hands them its state.
#pragma once

#include "geometry.h"

#include <QList>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QVector>

// What both plots share: size, mapping, the largest value and whether the
// threshold lines are drawn.
struct PlotFrame {
    int width = 0, height = 0;
    PixelMap map;
    double realMaxY = 0;
    bool stripes = false;
};

PlotFrame plotFrame(const Geometry &g, bool stripes);

// The chromosome table as the genome-wide plot reads it.
struct ChromosomeLabels {
    QVector<int> startValue;
    QVector<int> colorValue;
    QStringList tags;
};

QPixmap paintGenomeWide(const QList<int> &positions, const QList<double> &values, int count,
                        const PlotFrame &frame, const ChromosomeLabels &chromosomes, const QString &shortName);

// The highlight range: positions lo..hi, both inclusive, drawn in red.
struct HighlightRange {
    int lo = 0, hi = 0;
    bool contains(int p) const { return lo <= p && p <= hi; }
};

struct ChromosomePlotOptions {
    int realMinX = 0, realMaxX = 0; // first and last position on show
    bool segments = false;          // join the points instead of dots
    HighlightRange highlight;
};

QPixmap paintChromosome(const QList<int> &positions, const QList<double> &values, int count,
                        const PlotFrame &frame, const ChromosomePlotOptions &options);

// Finds, for a genome-wide x, the chromosome whose label the genome-wide
// plot puts it under: the largest k >= 1 with startValue[k] <= x, or 0 when
// there is none. Logarithmic through suffix minima, constant for the usual
// case of a point in the same chromosome as the one before.
class ChromosomeFinder
{
public:
    explicit ChromosomeFinder(const QVector<int> &startValue);
    // Inline, the usual case: it runs for every point.
    int find(int x)
    {
        if (fits(last_, x))
            return last_;
        return search(x);
    }

private:
    bool fits(int k, int x) const
    {
        const qsizetype n = suffixMin_.size();
        const bool nextTooLarge = k + 1 >= n || suffixMin_.data()[k + 1] > x;
        return nextTooLarge && (k == 0 || suffixMin_.data()[k] <= x);
    }
    int search(int x);
    QVector<int> suffixMin_; // suffixMin_[k] = min(startValue[k..n-1]), k >= 1
    int last_ = 0;
};

// The highlight range typed into two text fields: "lo-hi" in the first,
// or lo and hi in one each; (0, 0) when they do not convert.
HighlightRange highlightRange(const QString &text1, const QString &text2);

// 1234567 -> "1,234,567"; the sign counts as a character.
QString groupThousands(int n);

// A number as the plot titles show it: %g with 6 significant digits.
QString titleNumber(double value);
