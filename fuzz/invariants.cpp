#include "invariants.h"

#include <cmath>
#include <cstring>

namespace {

QString brokenTableRule(const GenomeWide &g)
{
    const ChromosomeTable &t = g.table;
    const qsizetype n = t.tags.size();
    if (g.x.size() < 2 || g.x.size() != g.scores.size())
        return QStringLiteral("at least two points, lists aligned");
    if (n < 1 || t.startIndex.size() != n || t.endIndex.size() != n || t.startValue.size() != n
        || t.endValue.size() != n || t.colorValue.size() != n || t.startOffset.size() != n)
        return QStringLiteral("table sequences of one length");
    if (t.startIndex[0] != 0 || t.endIndex[n - 1] != g.x.size() - 1)
        return QStringLiteral("runs cover every point");
    if (g.x[0] != 1)
        return QStringLiteral("the first point has x = 1");
    for (qsizetype k = 0; k < n; ++k) {
        if (t.startIndex[k] > t.endIndex[k])
            return QStringLiteral("a run holds a point");
        if (t.startValue[k] != g.x[t.startIndex[k]] || t.endValue[k] != g.x[t.endIndex[k]])
            return QStringLiteral("run x values are those of its first and last point");
        if (t.colorValue[k] != (k % 2 == 0 ? 255 : 50))
            return QStringLiteral("run colours alternate");
        if (k > 0 && t.startIndex[k] != t.endIndex[k - 1] + 1)
            return QStringLiteral("runs follow each other");
        if (k > 0 && t.startValue[k] != t.endValue[k - 1] + 1)
            return QStringLiteral("no gap between runs on the x axis");
        if (k > 0 && t.tags[k] == t.tags[k - 1])
            return QStringLiteral("neighbouring runs have different labels");
    }
    for (const double score : g.scores) {
        if (!std::isfinite(score))
            return QStringLiteral("scores are finite");
    }
    return QString();
}

QString brokenReadBackRule(const GenomeWide &g, qsizetype k, const QString &path)
{
    const ChromosomeTable &t = g.table;
    const int first = t.startIndex[k];
    const int count = t.endIndex[k] - first + 1;
    const ChromosomeRun run = loadRun(path, t.startOffset[k], t.tags[k], count, g.seekPoints);
    if (count == 1)
        return run.fault == Fault::TooFewRowsChromosome ? QString()
                                                         : QStringLiteral("a run of one point is too short to show");
    if (run.fault != Fault::None)
        return QStringLiteral("a run of a good file reads back");
    if (run.positions.size() != count || run.scores.size() != count)
        return QStringLiteral("the run reads back whole");
    for (int j = 0; j < count; ++j) {
        if (std::memcmp(&run.scores[j], &g.scores[first + j], sizeof(double)) != 0)
            return QStringLiteral("scores read back bit for bit");
        const qint64 x = qint64(t.startValue[k]) + run.positions[j] / 100 - run.positions[0] / 100;
        if (x != g.x[first + j])
            return QStringLiteral("positions read back give the genome-wide x");
    }
    return QString();
}

} // namespace

QString brokenLoadRule(const GenomeWide &g, const QString &path)
{
    if (g.fault != Fault::None)
        return QString();
    QString broken = brokenTableRule(g);
    for (qsizetype k = 0; broken.isEmpty() && k < g.table.tags.size(); ++k)
        broken = brokenReadBackRule(g, k, path);
    return broken;
}
