// Measures the program's own code paths on a data file, headless on a
// virtual 1920x1080 screen, and prints one line per stage: "name seconds",
// then "rows N" and "peak_rss_mb M" (or all of it as one JSON object with
// --json).
//
//   tivrel-bench FILE [--json]
//
// Stages: open (file chosen in the dialog to genome-wide picture painted),
// pick_last (a box on the last chromosome to its chromosome plot painted),
// zoom (a box over the middle half of that plot), remove, unzoom, save (the
// unzoomed chromosome to a data file and PNG).
#include "app/mywidget.h"
#include "app/state.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {

QElapsedTimer clock_;
qint64 started_ = 0;

double secondsSince(qint64 start)
{
    return double(clock_.nsecsElapsed() - start) / 1e9;
}

// Gives the offscreen platform one screen of this size, before the
// application object is made.
void useScreen(const QTemporaryDir &dir, int width, int height)
{
    QFile config(dir.filePath(QStringLiteral("screen.json")));
    if (config.open(QIODevice::WriteOnly))
        config.write(QStringLiteral(R"({"screens":[{"name":"S","x":0,"y":0,"width":%1,"height":%2,)"
                                    R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                         .arg(width).arg(height).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
}

double peakRssMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [--json]\n", argv[0]);
        return 2;
    }
    const QString dataFile = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const bool json = argc > 2 && QByteArray(argv[2]) == "--json";

    // A virtual 1920x1080 screen, so the plots have their usual size.
    QTemporaryDir work;
    useScreen(work, 1920, 1080);
    QApplication app(argc, argv);
    QDir::setCurrent(work.path()); // the log and the saved files land here
    clock_.start();

    std::vector<std::pair<const char *, double>> stages;

    // The time just before each dialog's answer, so that a stage's time
    // leaves out the dialog itself.
    const auto start = []() { started_ = clock_.nsecsElapsed(); };
    std::optional<DialogAnswers> answer(std::in_place, QStringList{dataFile}, start);
    MyWidget window;
    answer.reset();
    stages.emplace_back("open", secondsSince(started_));
    const qsizetype rows = Pos_list.size();
    window.show();

    // The last chromosome: a narrow box on the centre column of its span.
    const int last = int(Start_value.size()) - 1;
    const double middle = (double(Start_value[last]) + End_value[last]) / 2;
    const int column = int((middle - GLOBAL_minX) * GLOBAL_pixPerX);
    qint64 t = clock_.nsecsElapsed();
    drag(&window, QPoint(column - 1, 10), QPoint(column + 1, 100));
    stages.emplace_back("pick_last", secondsSince(t));

    t = clock_.nsecsElapsed();
    drag(&window, QPoint(fwidth / 4, 0), QPoint(3 * fwidth / 4, fheight));
    stages.emplace_back("zoom", secondsSince(t));

    t = clock_.nsecsElapsed();
    window.removeSelection();
    stages.emplace_back("remove", secondsSince(t));

    t = clock_.nsecsElapsed();
    window.showRemaining();
    stages.emplace_back("unzoom", secondsSince(t));

    const qsizetype saved = Pos_list.size();
    answer.emplace(QStringList{QStringLiteral("bench_out")}, start);
    window.makeFile();
    stages.emplace_back("save", secondsSince(started_));

    const double rss = peakRssMb();
    if (json) {
        std::printf("{");
        for (const auto &[name, seconds] : stages)
            std::printf("\"%s\": %.4f, ", name, seconds);
        std::printf("\"saved_rows\": %lld, \"rows\": %lld, \"peak_rss_mb\": %.1f}\n", (long long)saved,
                    (long long)rows, rss);
    } else {
        for (const auto &[name, seconds] : stages)
            std::printf("%s %.4f\n", name, seconds);
        std::printf("saved_rows %lld\nrows %lld\npeak_rss_mb %.1f\n", (long long)saved, (long long)rows, rss);
    }
    return 0;
}
