// How the process ends: every fault ends it with status 1 and its one line
// in the log, written just before exit(1) and flushed only by the log
// stream's destruction; "&Exit" and closing the window end it with status 0
// and the log holding what was written. Each case runs the program in a
// child process (helper_tivrel_child) in a fresh working directory.
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kHeader = "Tivrel 0.1 by Ruvetti\n\n";
const QByteArray kTwoChromosomes = "CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n";
const QByteArray kOneChromosome = "CHR\tPOS\tP\n7\t1000\t0.5\n7\t2000\t1e-5\n7\t3000\t0.01\n7\t4000\t0.2\n";
// Runs of two labels taking turns, each spanning the whole int range: the
// genome-wide x passes INT_MAX after about fifty of them.
const QByteArray kOverflowing =
    "CHR\tPOS\tP\n"
    + QByteArray("A\t-2147483648\t0.5\nA\t2147483647\t0.5\nB\t-2147483648\t0.5\nB\t2147483647\t0.5\n").repeated(30);

} // namespace

class ExitTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("QT_QPA_PLATFORM", "offscreen"); } // the child inherits it

    void endsWithStatusAndLog_data()
    {
        QTest::addColumn<QString>("file"); // relative path of the data file, "" cancels the dialog
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("actions"); // see helper_tivrel_child.cpp
        QTest::addColumn<QString>("ending"); // exit status, and whether the window was ever shown
        QTest::addColumn<QByteArray>("log");

        // A fault of the start-up load: the window is never shown.
        const auto fault = [](const char *name, const QByteArray &content, const char *message,
                              const QStringList &actions = {}, const QString &file = "d.txt") {
            QTest::newRow(name) << file << content << actions << "status 1, never shown" << kHeader + message + "\n";
        };
        fault("first dialog cancelled", {}, "Input file problem!", {}, "");
        fault("file gone after the choice", kTwoChromosomes, "Cannot open data file!", {"vanish"});
        fault("no delimiter", "CHR;POS;P\n1;100;0.5\n", "Unknown data file delimiter!");
        fault("two columns", "CHR\tPOS\n1\t100\n", "Data file contains < 3 columns!");
        fault("no p-value column", "CHR\tPOS\tSCORE\n1\t100\t0.5\n", "Incorrect data columns!");
        fault("text p-value", "CHR\tPOS\tP\n1\t100\t0.5\n1\t200\tsmall\n", "Non-numeric p-value detected!");
        fault("fractional position", "CHR\tPOS\tP\n1\t100\t0.5\n1\t200.5\t0.1\n",
              "Non-integer position value detected!");
        fault("short row", "CHR\tPOS\tP\n1\t100\t0.5\n1\t200\n", "Data line with missing columns detected!");
        fault("negative p-value", "CHR\tPOS\tP\n1\t100\t0.5\n1\t200\t-0.1\n", "Invalid p-value detected!");
        fault("one row kept", "CHR\tPOS\tP\n1\t100\t0.5\n1\t200\tNA\n", "Illegal data range in getManhattan0!");
        fault("empty file", "", "Illegal data range in getManhattan0!");
        fault("genome-wide x past INT_MAX", kOverflowing, "Genome-wide position out of range detected!");

        // Paths taken once the window is on show.
        const auto shown = [](const char *name, const QByteArray &content, const QStringList &actions, int status,
                              const QByteArray &log, const QString &file = "d.txt") {
            QTest::newRow(name) << file << content << actions << QString("status %1, shown").arg(status)
                                << kHeader + log;
        };
        shown("&Exit", kTwoChromosomes, {"exit"}, 0, "Get GLOBAL\n");
        shown("window closed", kTwoChromosomes, {"close"}, 0, "Get GLOBAL\n");
        shown("&New File cancelled, then &Exit", kTwoChromosomes, {"newfile:", "exit"}, 0, "");
        // A name typed into the dialog, in a directory without "*.txt" or
        // "*.csv": nothing is listed, so a cancel ends the run as at start.
        shown("&New File cancelled, nothing listed", kTwoChromosomes, {"newfile:"}, 1, "Input file problem!\n",
              "plain/data.dat");
        // The only message without a line feed.
        shown("output file cannot be made", kOneChromosome, {"save:no-such-dir/out"}, 1,
              "selected chromosome by getManhattan 7\nCould not generate outpout file!");
    }

    void endsWithStatusAndLog()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, actions);
        QFETCH(QString, ending);
        QFETCH(QByteArray, log);

        QTemporaryDir work;
        QDir(work.path()).mkpath(QFileInfo(file).path());
        const QString path = file.isEmpty() ? QString() : writeFile(work.filePath(file), content);
        QProcess child;
        child.setWorkingDirectory(work.path());
        child.start(QStringLiteral(TIVREL_BINARY_DIR "/helper_tivrel_child"), QStringList{path} + actions);
        QVERIFY2(child.waitForFinished(60000), "the child did not end");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        const bool shown = child.readAllStandardOutput().contains("window shown");
        const QString actual = QString("status %1, %2").arg(child.exitCode()).arg(shown ? "shown" : "never shown");
        QVERIFY2(actual == ending, qPrintable(actual + "; standard error:\n" + child.readAllStandardError()));
        QCOMPARE(readFile(work.filePath(QStringLiteral("Tivrel_log.txt"))), log);
    }
};

QTEST_MAIN(ExitTest)
#include "test_exits.moc"
