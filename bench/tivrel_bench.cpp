// Measures the program's own code paths on a data file, headless on a
// virtual 1920x1080 screen, and prints one line per stage: "name seconds",
// then "rows N" and "peak_rss_mb M" (or all of it as one JSON object with
// --json).
//
//   tivrel-bench FILE [--json] [--floor [PLAIN]]
//
// Stages: open (file chosen in the dialog to genome-wide picture painted),
// pick_last (a box on the last chromosome to its chromosome plot painted),
// zoom (a box over the middle half of that plot), remove, unzoom, save (the
// unzoomed chromosome to a data file and PNG). --floor then times the bare
// reading of FILE, or of PLAIN (the same rows uncompressed), on as many
// threads as the program reads with, and prints it and the open stage's
// ratio to it ("floor", "open_vs_floor").
//
// A command-line tool: anything it cannot use gets the usage on standard
// error and exit status 2, as does a data file the program refuses (with
// the program's log line).
#include "app/mywidget.h"
#include "app/state.h"
#include "floor.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
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

const char *program_ = "tivrel-bench";
bool measured_ = false;

int usage(const char *problem)
{
    if (problem)
        std::fprintf(stderr, "%s: %s\n", program_, problem);
    std::fprintf(stderr, "usage: %s FILE [--json] [--floor [PLAIN]]\n", program_);
    return 2;
}

bool readableFile(const char *path)
{
    const QFileInfo info(QString::fromLocal8Bit(path));
    return info.isFile() && info.isReadable();
}

// The program ends itself on a data file it refuses, with its log line.
void reportEarlyEnd()
{
    if (measured_)
        return;
    const QByteArray log = logText().trimmed();
    std::fprintf(stderr, "%s: the program refused the data file: %s\n", program_,
                 log.mid(log.lastIndexOf('\n') + 1).constData());
    std::_Exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    program_ = argv[0];
    const char *file = nullptr, *floorFile = nullptr;
    bool json = false, floor = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--json")) {
            json = true;
        } else if (!std::strcmp(argv[i], "--floor")) {
            floor = true;
            if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0 && file)
                floorFile = argv[++i];
        } else if (!std::strncmp(argv[i], "-", 1) || file) {
            return usage(argv[i][0] == '-' ? nullptr : "one data file only");
        } else {
            file = argv[i];
        }
    }
    if (!file)
        return usage(nullptr);
    for (const char *path : {file, floorFile}) {
        if (path && !readableFile(path))
            return usage(qPrintable(QStringLiteral("%1 is no readable file").arg(QString::fromLocal8Bit(path))));
    }
    const QString dataFile = QFileInfo(QString::fromLocal8Bit(file)).absoluteFilePath();
    const QString floorPath = QFileInfo(QString::fromLocal8Bit(floorFile ? floorFile : file)).absoluteFilePath();

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
    std::atexit(reportEarlyEnd);
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
    measured_ = true;
    // Last, so that its mapped file does not count in the peak above.
    if (floor) {
        const int threads = std::clamp(QThread::idealThreadCount(), 1, 8); // as the program reads
        const FloorResult bare = readFloor(QFile::encodeName(floorPath).constData(), threads);
        if (!bare.ok) {
            std::fprintf(stderr, "%s: --floor reads a plain text file with a header naming its position and "
                                 "p-value columns\n", program_);
            return 2;
        }
        stages.emplace_back("floor", bare.seconds);
        stages.emplace_back("open_vs_floor", stages.front().second / bare.seconds);
    }
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
