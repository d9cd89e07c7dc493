// The window's two loads: they hand the chosen file to the plain loads and
// put what comes back into the program-wide state.
#include "app/log.h"
#include "app/mywidget.h"
#include "app/state.h"
#include "loads.h"

void MyWidget::getManhattan0()
{
    GenomeWide g = loadGenomeWide(dataFilePath);
    if (g.fault != Fault::None)
        failAndExit(faultMessage(g.fault));
    Pos_list = std::move(g.x);
    Value_list = std::move(g.scores);
    Tag = std::move(g.table.tags);
    Start_index = std::move(g.table.startIndex);
    End_index = std::move(g.table.endIndex);
    Start_value = std::move(g.table.startValue);
    End_value = std::move(g.table.endValue);
    Color_value = std::move(g.table.colorValue);
    Start_offset = std::move(g.table.startOffset);
    Start_stamp = g.stamp;
    Pos_list2 = Pos_list;
    Value_list2 = Value_list;
}

bool MyWidget::getManhattan()
{
    const int k = selected_chromosome;
    const QString &label = Tag[k];
    error_stream << "selected chromosome by getManhattan " << label << "\n";
    ChromosomeRun run =
        loadChromosome(dataFilePath, Start_stamp, Start_offset[k], label, End_index[k] - Start_index[k] + 1);
    if (run.fault == Fault::TooFewRowsChromosome) {
        // A run of one point: say so and leave everything as it was.
        logLine(faultMessage(run.fault));
        return false;
    }
    if (run.fault != Fault::None)
        failAndExit(faultMessage(run.fault));
    Pos_list = std::move(run.positions);
    Value_list = std::move(run.scores);
    Pos_list2 = Pos_list;
    Value_list2 = Value_list;
    return true;
}
