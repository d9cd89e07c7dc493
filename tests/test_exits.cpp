// How the process ends: every fault ends it with status 1 and its one line
// in the log, written just before exit(1) and flushed only by the log
// stream's destruction; "&Exit" and closing the window end it with status 0
// and the log holding what was written. Each case runs the program in a
// child process in a fresh working directory.
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
QByteArray overflowingFile()
{
    QByteArray text = "CHR\tPOS\tP\n";
    for (int run = 0; run < 60; ++run) {
        const QByteArray label = run % 2 ? "B" : "A";
        text += label + "\t-2147483648\t0.5\n" + label + "\t2147483647\t0.5\n";
    }
    return text;
}

QString helperPath()
{
    return QStringLiteral(TIVREL_BINARY_DIR "/helper_tivrel_child");
}

} // namespace

class ExitTest : public QObject
{
    Q_OBJECT
private slots:
    void endsWithStatusAndLog_data()
    {
        QTest::addColumn<QString>("file");     // relative path of the data file, "" = cancel
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<bool>("shown");

        const auto fault = [](const char *name, const QByteArray &content, const char *message,
                              const QStringList &actions = {}) {
            QTest::newRow(name) << "d.txt" << content << actions << 1 << kHeader + message + "\n" << false;
        };
        QTest::newRow("first dialog cancelled") << "" << QByteArray() << QStringList() << 1
                                                << kHeader + "Input file problem!\n" << false;
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
        fault("genome-wide x past INT_MAX", overflowingFile(), "Genome-wide position out of range detected!");

        QTest::newRow("&Exit, genome-wide") << "d.txt" << kTwoChromosomes << QStringList{"exit"} << 0
                                            << kHeader + "Get GLOBAL\n" << true;
        QTest::newRow("&Exit, one chromosome")
            << "d.txt" << kOneChromosome << QStringList{"exit"} << 0
            << kHeader + "selected chromosome by getManhattan 7\n" << true;
        QTest::newRow("window closed") << "d.txt" << kTwoChromosomes << QStringList{"close"} << 0
                                       << kHeader + "Get GLOBAL\n" << true;
        QTest::newRow("&New File cancelled, then &Exit")
            << "d.txt" << kTwoChromosomes << QStringList{"newfile:", "exit"} << 0 << kHeader << true;
        // A name typed into the dialog, in a directory without "*.txt" or
        // "*.csv": nothing is listed, so a cancel ends the run as at start.
        QTest::newRow("&New File cancelled, nothing listed")
            << "plain/data.dat" << kTwoChromosomes << QStringList{"newfile:"} << 1
            << kHeader + "Input file problem!\n" << true;
        // The only message without a line feed.
        QTest::newRow("output file cannot be made")
            << "d.txt" << kOneChromosome << QStringList{"save:no-such-dir/out"} << 1
            << kHeader + "selected chromosome by getManhattan 7\nCould not generate outpout file!" << true;
    }

    void endsWithStatusAndLog()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, actions);
        QFETCH(int, status);
        QFETCH(QByteArray, log);
        QFETCH(bool, shown);

        QTemporaryDir work;
        QString path;
        if (!file.isEmpty()) {
            QDir(work.path()).mkpath(QFileInfo(file).path());
            path = writeFile(work.filePath(file), content);
        }
        QProcess child;
        child.setWorkingDirectory(work.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.start(helperPath(), QStringList{path} + actions);
        QVERIFY2(child.waitForFinished(60000), "the child did not end");
        const QByteArray out = child.readAllStandardOutput();
        const QByteArray err = child.readAllStandardError();

        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == status, err.constData());
        QCOMPARE(readFile(work.filePath(QStringLiteral("Tivrel_log.txt"))), log);
        QCOMPARE(out.contains("window shown"), shown);
    }
};

QTEST_MAIN(ExitTest)
#include "test_exits.moc"
