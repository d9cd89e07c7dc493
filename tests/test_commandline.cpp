// The command line of the real program, run in a child process in a fresh
// working directory: build/tivrel itself for every run that ends by itself,
// and tivrel_exit_on_show (the same main, pressing "&Exit" once the window is
// shown) for good starts. A good start must leave the log that choosing the
// file in the open-file dialog leaves (helper_tivrel_child answers it).
#include "support/testsupport.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QByteArray kHeader = "Tivrel 0.1 by Ruvetti\n\n";
const QByteArray kSeveral = "CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n";
const QByteArray kOne = "CHR\tPOS\tP\n7\t1000\t0.5\n7\t2000\t1e-5\n";

struct Run
{
    int status = -1;
    QByteArray out, err, log;
    bool logWritten = false;
};

Run run(const QString &program, const QStringList &arguments, const QString &directory)
{
    QProcess child;
    child.setWorkingDirectory(directory);
    child.start(QStringLiteral(TIVREL_BINARY_DIR "/") + program, arguments);
    Run r;
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit) {
        child.kill();
        qWarning("%s hung or crashed: %s", qPrintable(program), child.readAllStandardError().constData());
        return r;
    }
    r.status = child.exitCode();
    r.out = child.readAllStandardOutput();
    r.err = child.readAllStandardError();
    const QString log = directory + "/Tivrel_log.txt";
    r.logWritten = QFile::exists(log);
    r.log = readFile(log);
    QFile::remove(log);
    return r;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT
    QTemporaryDir work;

private slots:
    void initTestCase()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen"); // the children inherit it
        QDir(work.path()).mkpath("data/folder");
        writeFile(work.filePath("data/several.txt"), kSeveral);
        writeFile(work.filePath("data/one.csv"), kOne);
    }

    void helpAndVersion()
    {
        const Run version = run("tivrel", {"--version"}, work.path());
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("TIVREL 0.1\n")); // as the window title names it
        QVERIFY(!version.logWritten);

        const Run help = run("tivrel", {"--help"}, work.path());
        QCOMPARE(help.status, 0);
        for (const char *part : {"Usage: ", " [options] [FILE]", "--help", "--version", "FILE "})
            QVERIFY2(help.out.contains(part), part);
        QVERIFY(!help.logWritten);
    }

    // Runs that end by themselves, through the real program; the same
    // arguments through tivrel_exit_on_show must never show the window.
    void failedStarts_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("log"); // null: no log file written
        QTest::addColumn<QByteArray>("err"); // part of standard error
        const QByteArray problem = kHeader + "Input file problem!\n";
        QTest::newRow("missing file") << QStringList{"data/missing.txt"} << 1 << problem << QByteArray();
        QTest::newRow("directory") << QStringList{"data/folder"} << 1 << problem << QByteArray();
        // A pipe cannot be read twice (a pick reads its run again); opening
        // it would wait for a writer.
        QVERIFY(mkfifo(QFile::encodeName(work.filePath("data/pipe")).constData(), 0600) == 0);
        QTest::newRow("named pipe") << QStringList{"data/pipe"} << 1 << problem << QByteArray();
        QTest::newRow("empty name") << QStringList{""} << 1 << problem << QByteArray();
        QTest::newRow("two files") << QStringList{"data/several.txt", "data/one.csv"} << 1 << QByteArray()
                                   << QByteArray("one data file at most");
        QTest::newRow("unknown option") << QStringList{"--bogus", "data/several.txt"} << 1 << QByteArray()
                                        << QByteArray("Unknown option 'bogus'");
        // The data file's own faults are the loads' (tested with them); one
        // here shows the file really is read.
        writeFile(work.filePath("data/bad.txt"), "CHR\tPOS\tP\n1\t100\t0.5\n1\tx\t0.1\n");
        QTest::newRow("malformed file") << QStringList{"data/bad.txt"} << 1
                                        << kHeader + "Non-integer position value detected!\n" << QByteArray();
    }

    void failedStarts()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, log);
        QFETCH(QByteArray, err);
        for (const char *program : {"tivrel", "tivrel_exit_on_show"}) {
            const Run r = run(program, arguments, work.path());
            QTEST(r.status, "status");
            QCOMPARE(r.logWritten, !log.isNull());
            QCOMPARE(r.log, log);
            QVERIFY2(r.err.contains(err), r.err.constData());
            QVERIFY2(!r.out.contains("window shown"), program);
        }
    }

    // A good file opens straight in its first view, with the log, the names
    // and the view of choosing it in the dialog.
    void goodStarts_data()
    {
        QTest::addColumn<QString>("file"); // relative to the working directory
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QByteArray>("state");
        const QString dir = QDir(work.path()).canonicalPath();
        QTest::newRow("several chromosomes: genome-wide view")
            << "data/several.txt" << kHeader + "Get GLOBAL\n"
            << ("filename " + dir + "/data/several.txt\nshortname several.txt\n"
                "globaldisplay 1 selected_chromosome -1\n").toUtf8();
        QTest::newRow("one chromosome: chromosome view")
            << "data/one.csv" << kHeader + "selected chromosome by getManhattan 7\n"
            << ("filename " + dir + "/data/one.csv\nshortname one.csv\n"
                "globaldisplay 0 selected_chromosome 0\n").toUtf8();
    }

    void goodStarts()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, log);
        const QString directory = QDir(work.path()).canonicalPath();
        const Run started = run("tivrel_exit_on_show", {file}, directory);
        QCOMPARE(started.status, 0);
        QCOMPARE(started.log, log);
        QTEST(started.out.mid(started.out.indexOf("\nfilename ") + 1), "state");
        QVERIFY(started.out.startsWith("window shown: TIVREL 0.1 by Ruvetti  (contact@tivrel.org)\n"));

        const Run chosen = run("helper_tivrel_child", {directory + "/" + file, "exit"}, directory);
        QCOMPARE(chosen.status, 0);
        QCOMPARE(started.log, chosen.log);
    }

    // "All Files" lets any name be chosen, but the listing that decides
    // whether a cancelled "&New File" may go on still takes "*.txt" and
    // "*.csv" only: beside other names alone, the cancel ends the run.
    void listingKeepsItsFilters_data()
    {
        QTest::addColumn<QStringList>("beside");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("log");
        QTest::newRow("other names only") << QStringList{"e.gz", "f.tsv", "g.txt.gz"} << 1
                                          << kHeader + "Input file problem!\n";
        QTest::newRow("a .csv beside") << QStringList{"e.gz", "i.csv"} << 0 << kHeader;
        QTest::newRow("a .CSV beside (Qt's filters ignore case)") << QStringList{"h.CSV"} << 0 << kHeader;
    }

    void listingKeepsItsFilters()
    {
        QFETCH(QStringList, beside);
        QTemporaryDir dir; // the working directory, whose log would be listed
        QDir(dir.path()).mkdir("data");
        const QString chosen = writeFile(dir.filePath("data/d.tsv"), kSeveral);
        for (const QString &name : beside)
            writeFile(dir.filePath("data/" + name), kSeveral);
        const Run r = run("helper_tivrel_child", {chosen, "newfile", "exit"}, dir.path());
        QTEST(r.status, "status");
        QTEST(r.log, "log");
    }
};

QTEST_MAIN(CommandLineTest)
#include "test_commandline.moc"
