// Hostile input files and failing saves, each run through the real program
// in a child process (helper_tivrel_child): whatever a user picks must end in
// one clear log line and exit status 1, or load with defined points; never a
// crash, a hang, a sanitizer report or a half-written output file.
//
// The expected log is compared line by line; an expected line ending in "*"
// only fixes the start of its line (the pick's line carries pixel geometry).
// Loads that succeed are checked through their points: "save:out" writes the
// points on show to out.txt, which must hold exactly the expected rows.
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QByteArray kHeader = "Tivrel 0.1 by Ruvetti\n\n";
const QByteArray kSaveHeader = "Chr\tPosition\tP\t-log10(P)\n";
const QByteArray kPicked7 = "selected chromosome by getManhattan 7\n";
// Two chromosomes of two rows each; run 1 (label 2) starts at byte 33.
const QByteArray kTwoChromosomes = "CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n";

// Generous: a 50 MB file is read twice under the sanitizers.
constexpr int kChildTimeoutMs = 240000;

QString helperPath()
{
    return QStringLiteral(TIVREL_BINARY_DIR "/helper_tivrel_child");
}

QByteArray withHeader(const QByteArray &rows)
{
    return "CHR\tPOS\tP\n" + rows;
}

QByteArray utf16(const QString &text, QStringConverter::Encoding encoding)
{
    QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
    return encode(text);
}

// The text with every "@" turned into a NUL byte.
QByteArray withNuls(const char *text)
{
    return QByteArray(text).replace('@', '\0');
}

QByteArray fiftyMegabytes(char fill)
{
    return QByteArray(50 * 1024 * 1024, fill);
}

// Bytes as random as a damaged file's, the same on every run and machine
// (a xorshift generator of our own).
QByteArray noise()
{
    quint64 state = 0x9E3779B97F4A7C15ull;
    QByteArray bytes(64 * 1024, Qt::Uninitialized);
    for (char &c : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = char(state >> 56);
    }
    return bytes;
}

QByteArray everyByteValue()
{
    QByteArray bytes;
    for (int round = 0; round < 4; ++round)
        for (int b = 0; b < 256; ++b)
            bytes += char(b);
    return bytes;
}

// The output of a finished run, and whether it ended by itself.
struct ChildRun {
    bool finished = false;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QByteArray err;
};

ChildRun runChild(const QString &workDir, const QStringList &arguments)
{
    QProcess child;
    child.setWorkingDirectory(workDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(helperPath(), arguments);
    ChildRun run;
    run.finished = child.waitForFinished(kChildTimeoutMs);
    if (!run.finished) {
        child.kill();
        child.waitForFinished();
    }
    run.exitStatus = child.exitStatus();
    run.exitCode = child.exitCode();
    run.err = child.readAllStandardError();
    return run;
}

// Fails the test unless the child ended by itself, without a signal or a
// sanitizer report, with the given status.
#define VERIFY_ENDED_CLEANLY(run, status)                                                                    \
    do {                                                                                                     \
        QVERIFY2((run).finished, "the child hung");                                                          \
        QVERIFY2((run).exitStatus == QProcess::NormalExit, (run).err.constData());                          \
        QVERIFY2(!(run).err.contains("Sanitizer") && !(run).err.contains("runtime error"),                   \
                 (run).err.constData());                                                                     \
        QVERIFY2((run).exitCode == (status), (run).err.constData());                                         \
    } while (false)

// Compares a log with its expected lines, where a line ending in "*" only
// fixes the start of its line.
bool logMatches(const QByteArray &log, const QByteArray &expected, QByteArray *why)
{
    const QList<QByteArray> got = log.split('\n');
    const QList<QByteArray> want = expected.split('\n');
    if (got.size() != want.size()) {
        *why = "line count differs:\n" + log;
        return false;
    }
    for (qsizetype i = 0; i < got.size(); ++i) {
        const QByteArray &w = want[i];
        const bool same = w.endsWith('*') ? got[i].startsWith(w.chopped(1)) : got[i] == w;
        if (!same) {
            *why = "line " + QByteArray::number(i + 1) + " is \"" + got[i] + "\", expected \"" + w + "\"";
            return false;
        }
    }
    return true;
}

} // namespace

class HostileTest : public QObject
{
    Q_OBJECT
private slots:
    void endsCleanly_data()
    {
        QTest::addColumn<QByteArray>("content");     // the data file
        QTest::addColumn<QStringList>("actions");    // helper actions; "replace" uses `replacement`
        QTest::addColumn<QByteArray>("replacement"); // new content for "replace"
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("log");    // after the log's header
        QTest::addColumn<QByteArray>("saved");  // out.txt after "save:out"; null: none written

        const QStringList saveAndExit{"save:out", "exit"};
        const auto fault = [](const char *name, const QByteArray &content, const char *message) {
            QTest::newRow(name) << content << QStringList() << QByteArray() << 1 << QByteArray(message) + "\n"
                                << QByteArray();
        };
        // A file of one chromosome opens in the chromosome view: its points
        // are saved and compared.
        const auto loads = [&](const char *name, const QByteArray &content, const QByteArray &rows,
                               const QByteArray &log = kPicked7) {
            QTest::newRow(name) << content << saveAndExit << QByteArray() << 0 << log << kSaveHeader + rows;
        };
        const QByteArray points7 = "7\t1000\t0.5\t0.30103\n7\t2000\t1e-05\t5\n";

        // Binary files picked by mistake.
        fault("PNG image", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x03\x20", 20) + noise(),
              "Unknown data file delimiter!");
        // The first line is bytes 0 to 9: two fields around the TAB.
        fault("every byte value", everyByteValue(), "Data file contains < 3 columns!");
        fault("random bytes", noise(), "Incorrect data columns!");
        fault("only NUL bytes", QByteArray(4096, '\0'), "Unknown data file delimiter!");

        // NUL bytes inside fields: a field is its bytes, NUL included, so a
        // number holding one is no number (Qt alone would stop at the NUL
        // and read "2@000" as 2).
        fault("NUL in a position", withHeader(withNuls("7\t1000\t0.5\n7\t2@000\t1e-5\n")),
              "Non-integer position value detected!");
        fault("NUL in a p-value", withHeader(withNuls("1\t100\t0.5\n1\t200\t0.@1\n")),
              "Non-numeric p-value detected!");
        QTest::newRow("NUL in a label makes another chromosome")
            << withHeader(withNuls("7\t100\t0.5\n7\t200\t0.1\n7@\t300\t0.2\n7@\t400\t0.3\n"))
            << QStringList{"pick:1", "save:out", "exit"} << QByteArray() << 0
            << withNuls("Get GLOBAL\nselect chrom 7@ 1 point *\n\nselected chromosome by getManhattan 7@\n")
            << kSaveHeader + withNuls("7@\t300\t0.2\t0.69897\n7@\t400\t0.3\t0.522879\n");

        // Encodings.
        loads("UTF-8 byte-order mark before the header", "\xef\xbb\xbfP\tCHR\tPOS\n0.5\t7\t1000\n1e-5\t7\t2000\n",
              points7);
        loads("UTF-8 byte-order mark before data", "\xef\xbb\xbf" "7\t1000\t0.5\n7\t2000\t1e-5\n", points7);
        const QString windowsText = QStringLiteral("CHR\tPOS\tP\r\n7\t1000\t0.5\r\n7\t2000\t1e-5\r\n");
        loads("UTF-16LE with byte-order mark", utf16(windowsText, QStringConverter::Utf16LE), points7);
        loads("UTF-16BE with byte-order mark", utf16(windowsText, QStringConverter::Utf16BE), points7);
        // Bytes that are not UTF-8 (the locale's encoding) read as U+FFFD,
        // so "chr\xe9" and "chr\xe8" become one label, written back in UTF-8.
        const QByteArray replaced = "chr\xef\xbf\xbd";
        loads("Latin-1 labels", withHeader("chr\xe9\t1000\t0.5\nchr\xe9\t2000\t1e-5\nchr\xe8\t3000\t0.01\n"),
              replaced + "\t1000\t0.5\t0.30103\n" + replaced + "\t2000\t1e-05\t5\n" + replaced
                  + "\t3000\t0.01\t2\n",
              "selected chromosome by getManhattan " + replaced + "\n");

        // Line ends: a lone CR (old Mac files) ends no line and is dropped,
        // so the whole file is one line.
        fault("lone CR line ends, header", "CHR\tPOS\tP\r7\t1000\t0.5\r7\t2000\t1e-5\r", "Incorrect data columns!");
        fault("lone CR line ends, no header", "7\t1000\t0.5\r7\t2000\t1e-5\r7\t3000\t0.01\r",
              "Illegal data range in getManhattan0!");
        fault("50 MB line without a line end", fiftyMegabytes('A'), "Unknown data file delimiter!");
        // p = 10^-50000001, written with 50 million zeros: its true score.
        QTest::newRow("50 MB p-value without a line end")
            << withHeader("7\t1000\t0.5\n7\t2000\t0." + QByteArray(50000000, '0') + "1")
            << QStringList{"wait:2500", "save:out", "exit"} << QByteArray() << 0 << kPicked7
            << kSaveHeader + "7\t1000\t0.5\t0.30103\n7\t2000\t1e-50000001\t5e+07\n";

        // Too little data.
        fault("header only", "CHR\tPOS\tP\n", "Illegal data range in getManhattan0!");
        fault("only NA rows", withHeader("1\t100\tNA\n1\t200\tNA\n2\t300\tNA\n"),
              "Illegal data range in getManhattan0!");

        // Numbers.
        fault("position past 32 bits", withHeader("1\t100\t0.5\n1\t4294967396\t0.1\n"),
              "Non-integer position value detected!");
        fault("position one past INT_MAX", withHeader("1\t100\t0.5\n1\t2147483648\t0.1\n"),
              "Non-integer position value detected!");
        fault("position 150.0", withHeader("1\t100\t0.5\n1\t150.0\t0.1\n"), "Non-integer position value detected!");
        fault("p-value nan", withHeader("1\t100\t0.5\n1\t200\tnan\n"), "Invalid p-value detected!");
        fault("p-value inf", withHeader("1\t100\t0.5\n1\t200\tinf\n"), "Invalid p-value detected!");
        fault("p-value -0.5", withHeader("1\t100\t0.5\n1\t200\t-0.5\n"), "Invalid p-value detected!");
        loads("p-value 1e-400", withHeader("7\t1000\t0.5\n7\t2000\t1e-400\n"),
              "7\t1000\t0.5\t0.30103\n7\t2000\t1e-400\t400\n");
        loads("p-value 0e0 is skipped", withHeader("7\t1000\t0.5\n7\t1500\t0e0\n7\t2000\t1e-5\n"), points7);

        // Columns.
        loads("more columns than the header", withHeader("7\t1000\t0.5\tx\ty\n7\t2000\t1e-5\t\t\t\n"), points7);
        fault("fewer columns than the header", withHeader("7\t1000\t0.5\n7\t2000\n7\t3000\t0.01\n"),
              "Data line with missing columns detected!");

        // Picks. A run of one row cannot be shown: the window stays in the
        // genome-wide view, where the next box picks again.
        QTest::newRow("pick of a one-row run")
            << withHeader("1\t100\t0.5\n1\t20000\t0.01\n2\t500\t1e-8\n3\t100\t0.2\n3\t9000\t0.3\n")
            << QStringList{"pick:1", "pick:2", "save:out", "exit"} << QByteArray() << 0
            << QByteArray("Get GLOBAL\nselect chrom 2 1 point *\n\nselected chromosome by getManhattan 2\n"
                          "Illegal data range in getManhattan!\nselect chrom 3 2 point *\n\n"
                          "selected chromosome by getManhattan 3\n")
            << kSaveHeader + "3\t100\t0.2\t0.69897\n3\t9000\t0.3\t0.522879\n";
        QTest::newRow("file deleted before a pick")
            << kTwoChromosomes << QStringList{"remove", "pick:1"} << QByteArray() << 1
            << QByteArray("Get GLOBAL\nselect chrom 2 1 point *\n\nselected chromosome by getManhattan 2\n"
                          "Cannot open data file!\n")
            << QByteArray();
        // A changed file: the picked run is read from the byte where it began.
        QTest::newRow("file cut short before a pick")
            << kTwoChromosomes << QStringList{"replace", "pick:1", "exit"} << QByteArray("CHR\tPOS\tP\n") << 0
            << QByteArray("Get GLOBAL\nselect chrom 2 1 point *\n\nselected chromosome by getManhattan 2\n"
                          "Illegal data range in getManhattan!\n")
            << QByteArray();
        QTest::newRow("values changed before a pick")
            << kTwoChromosomes << QStringList{"replace", "pick:1", "save:out", "exit"}
            << QByteArray("CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t700\t1e-9\n2\t30000\t0.1\n") << 0
            << QByteArray("Get GLOBAL\nselect chrom 2 1 point *\n\nselected chromosome by getManhattan 2\n")
            << kSaveHeader + "2\t700\t1e-09\t9\n2\t30000\t0.1\t1\n";
        // Byte 33 is now inside the line "1\t20000000\t0.01": its tail
        // "000\t0.01" has no third field.
        QTest::newRow("lines moved before a pick")
            << kTwoChromosomes << QStringList{"replace", "pick:1"}
            << QByteArray("CHR\tPOS\tP\n1\t100\t0.5\n1\t20000000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n") << 1
            << QByteArray("Get GLOBAL\nselect chrom 2 1 point *\n\nselected chromosome by getManhattan 2\n"
                          "Data line with missing columns detected!\n")
            << QByteArray();
        // The same label again at the old byte: its rows are read.
        QTest::newRow("another file with the same label at that byte")
            << kTwoChromosomes << QStringList{"replace", "pick:1", "save:out", "exit"}
            << QByteArray("CHR\tPOS\tP\n9\t1\t0.1\n9\t2\t0.1\n9\t3\t0.1\n2\t5\t0.001\n2\t6\t0.01\n") << 0
            << QByteArray("Get GLOBAL\nselect chrom 2 1 point *\n\nselected chromosome by getManhattan 2\n")
            << kSaveHeader + "2\t5\t0.001\t3\n2\t6\t0.01\t2\n";
    }

    void endsCleanly()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, actions);
        QFETCH(QByteArray, replacement);
        QFETCH(int, status);
        QFETCH(QByteArray, log);
        QFETCH(QByteArray, saved);

        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString path = writeFile(work.filePath(QStringLiteral("d.txt")), content);
        const qsizetype replace = actions.indexOf(QStringLiteral("replace"));
        if (replace >= 0)
            actions[replace] = "replace:" + writeFile(work.filePath(QStringLiteral("new.dat")), replacement);

        const ChildRun run = runChild(work.path(), QStringList{path} + actions);
        VERIFY_ENDED_CLEANLY(run, status);
        QByteArray why;
        QVERIFY2(logMatches(readFile(work.filePath(QStringLiteral("Tivrel_log.txt"))), kHeader + log, &why),
                 why.constData());
        const QString out = work.filePath(QStringLiteral("out.txt"));
        if (saved.isNull())
            QVERIFY(!QFile::exists(out));
        else
            QCOMPARE(readFile(out), saved);
    }

    // A save that cannot be written, or fails part way, ends with the line
    // "Could not generate outpout file!" (no line feed) and status 1, and
    // leaves no data file behind: an older file of that name stays as it
    // was, and no temporary file or picture is left.
    void failedSaveLeavesNothing_data()
    {
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<bool>("olderFile"); // out.txt exists before the save
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("files"); // the working directory afterwards

        const QStringList untouched{"Tivrel_log.txt", "d.txt", "plain"};
        // Files cannot be made in /proc, not even by root.
        QTest::newRow("read-only file system") << QStringList{"save:/proc/tivrel-out"} << false << 1 << untouched;
        QTest::newRow("directory that is a file") << QStringList{"save:plain/out"} << false << 1 << untouched;
        QTest::newRow("read-only directory") << QStringList{"save:locked/out"} << false << 1
                                             << untouched + QStringList{"locked"};
        QTest::newRow("file size limit, new file") << QStringList{"limit:4096", "save:out"} << false << 1
                                                   << untouched;
        QTest::newRow("file size limit, older file") << QStringList{"limit:4096", "save:out"} << true << 1
                                                     << untouched + QStringList{"out.txt"};
        // The same save within the limit is written whole.
        QTest::newRow("file size limit not reached") << QStringList{"limit:1000000", "save:out", "exit"} << true
                                                     << 0 << untouched + QStringList{"out.png", "out.txt"};
    }

    void failedSaveLeavesNothing()
    {
        QFETCH(QStringList, actions);
        QFETCH(bool, olderFile);
        QFETCH(int, status);
        QFETCH(QStringList, files);

        const bool locked = actions.contains(QStringLiteral("save:locked/out"));
        if (locked && ::geteuid() == 0)
            QSKIP("permissions do not stop root");
        QTemporaryDir work;
        QVERIFY(work.isValid());
        // 2000 rows: about 40 kB to save, well past the limit of 4096 bytes.
        QByteArray rows = "CHR\tPOS\tP\n";
        for (int i = 1; i <= 2000; ++i)
            rows += "7\t" + QByteArray::number(i * 1000) + "\t0." + QByteArray::number(i) + "\n";
        const QString path = writeFile(work.filePath(QStringLiteral("d.txt")), rows);
        writeFile(work.filePath(QStringLiteral("plain")), "a file, not a directory\n");
        const QByteArray older = "an older file that a failed save must not touch\n";
        if (olderFile)
            writeFile(work.filePath(QStringLiteral("out.txt")), older);
        if (locked) {
            QVERIFY(QDir(work.path()).mkdir(QStringLiteral("locked")));
            QVERIFY(QFile::setPermissions(work.filePath(QStringLiteral("locked")),
                                          QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }

        const ChildRun run = runChild(work.path(), QStringList{path} + actions);
        VERIFY_ENDED_CLEANLY(run, status);
        const QByteArray log = readFile(work.filePath(QStringLiteral("Tivrel_log.txt")));
        QStringList left = QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        left.sort();
        files.sort();
        QCOMPARE(left, files);
        QCOMPARE(readFile(work.filePath(QStringLiteral("plain"))), QByteArray("a file, not a directory\n"));
        if (locked)
            QVERIFY(QDir(work.filePath(QStringLiteral("locked"))).isEmpty());
        if (status == 1) {
            QCOMPARE(log, kHeader + kPicked7 + "Could not generate outpout file!");
            if (olderFile)
                QCOMPARE(readFile(work.filePath(QStringLiteral("out.txt"))), older);
        } else {
            QCOMPARE(log, kHeader + kPicked7);
            const QByteArray saved = readFile(work.filePath(QStringLiteral("out.txt")));
            QVERIFY(saved.startsWith(kSaveHeader + "7\t1000\t0.1\t1\n"));
            QVERIFY(saved.endsWith("7\t2000000\t0.2\t0.69897\n"));
            QCOMPARE(saved.count('\n'), 2001);
        }
        QVERIFY(!QFile::exists(QStringLiteral("/proc/tivrel-out.txt")));
    }
};

QTEST_MAIN(HostileTest)
#include "test_hostile.moc"
