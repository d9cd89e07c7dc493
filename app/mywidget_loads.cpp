// The window's two loads: they hand the chosen file to the plain loads and
// put what comes back into the program-wide state.
#include "log.h"
#include "mywidget.h"
#include "state.h"
#include "statebridge.h"

#include <cstdlib>

void MyWidget::getManhattan0()
{
    GenomeWide g = loadGenomeWide(dataFilePath);
    // Which columns were read, where other tools' layouts make it a
    // question; a fault's message ends the run.
    for (const QString &line : genomeWideLog(g))
        logLine(line);
    if (g.fault != Fault::None)
        std::exit(1); // its message is the log's last line
    setLoadedPoints(std::move(g.x), std::move(g.scores));
    setChromosomeTable(std::move(g.table));
    Start_stamp = g.stamp;
    Start_seekPoints = std::move(g.seekPoints);
}

bool MyWidget::getManhattan()
{
    const int k = selected_chromosome;
    const QString &label = Tag[k];
    ChromosomeRun run = loadChromosome(dataFilePath, Start_stamp, Start_offset[k], label,
                                       End_index[k] - Start_index[k] + 1, Start_seekPoints);
    // The pick is logged once the file's layout is settled, before what its
    // rows gave.
    if (run.layoutSettled)
        logLine(QStringLiteral("selected chromosome by getManhattan ") + label);
    if (run.fault == Fault::TooFewRowsChromosome) {
        // A run of one point: say so and leave everything as it was.
        logLine(faultMessage(run.fault));
        return false;
    }
    if (run.fault != Fault::None)
        logLineAndExit(faultMessage(run.fault));
    setLoadedPoints(std::move(run.positions), std::move(run.scores));
    return true;
}
