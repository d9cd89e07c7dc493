// How the real program ends, run in a child process (helper_tivrel_child) in
// a fresh working directory: hostile input files, failing saves and every
// way out. A fault must end in its one log line (flushed at exit(1) only by
// the log stream's destruction) and status 1, a good file must load with the
// expected points; never a crash, a hang, a sanitizer report or a
// half-written output file. "&Exit" and closing the window give status 0.
//
// In an expected log, "*" stands for the rest of a line (a pick's line
// carries pixel geometry). Points are checked through "save:out", which
// writes the points on show to out.txt (and out.png).
#include "support/testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kPicked7 = "selected chromosome by getManhattan 7\n";
const QByteArray kPoints7 = "7\t1000\t0.5\t0.30103\n7\t2000\t1e-05\t5\n";
const QByteArray kChromosome7 = "CHR\tPOS\tP\n7\t1000\t0.5\n7\t2000\t1e-5\n";
// Two chromosomes of two rows each; run 1 (label 2) starts at byte 33.
const QByteArray kTwoChromosomes = "CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n";
const QByteArray kPickedRun1 = "Get GLOBAL\nselect chrom 2 1 point *\n\nselected chromosome by getManhattan 2\n";

QByteArray withHeader(const QByteArray &rows) { return "CHR\tPOS\tP\n" + rows; }

bool logMatches(const QByteArray &log, const QByteArray &pattern)
{
    QStringList parts;
    for (const QByteArray &part : pattern.split('*'))
        parts << QRegularExpression::escape(QString::fromUtf8(part));
    const QRegularExpression expected(QRegularExpression::anchoredPattern(parts.join("[^\n]*")));
    return expected.match(QString::fromUtf8(log)).hasMatch();
}

} // namespace

class HostileTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("QT_QPA_PLATFORM", "offscreen"); } // the child inherits it

    void endsCleanly_data()
    {
        QTest::addColumn<QString>("file");        // the data file, relative; "" cancels the first dialog
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("actions"); // see helper_tivrel_child.cpp
        QTest::addColumn<QByteArray>("older");    // out.txt before the run; null: none
        QTest::addColumn<QString>("ending");      // exit status, and whether the window was ever shown
        QTest::addColumn<QByteArray>("log");      // after the log's header
        QTest::addColumn<QByteArray>("saved");    // out.txt afterwards; null: none

        const auto shown = [](const char *name, const QByteArray &content, const QStringList &actions, int status,
                              const QByteArray &log, const QByteArray &saved = {}) {
            QTest::newRow(name) << "d.txt" << content << actions << QByteArray()
                                << QString("status %1, shown").arg(status) << log << saved;
        };
        // A file of one chromosome opens in the chromosome view: its points are saved.
        const auto loads = [&](const char *name, const QByteArray &content, const QByteArray &rows,
                               const QByteArray &log = kPicked7) {
            shown(name, content, {"save:out", "exit"}, 0, log, kSaveHeader + rows);
        };
        // A fault of the start-up load: the window is never shown.
        const auto fault = [](const char *name, const QByteArray &content, const char *message,
                              const QString &file = "d.txt") {
            QTest::newRow(name) << file << content << QStringList() << QByteArray() << "status 1, never shown"
                                << QByteArray(message) + "\n" << QByteArray();
        };

        // Ways out.
        fault("first dialog cancelled", {}, "Input file problem!", "");
        shown("&Exit", kTwoChromosomes, {"exit"}, 0, "Get GLOBAL\n");
        shown("window closed", kTwoChromosomes, {"close"}, 0, "Get GLOBAL\n");
        // Nothing matches "*.txt" or "*.csv" beside a file typed into the
        // dialog: a cancel of "&New File" ends the run as at start.
        QTest::newRow("&New File cancelled, nothing listed")
            << "plain/d.dat" << kTwoChromosomes << QStringList{"newfile"} << QByteArray() << "status 1, shown"
            << QByteArray("Input file problem!\n") << QByteArray();
        // The list of the last folder decides, not that of an earlier one.
        QTest::newRow("&New File cancelled after a file from a folder listing nothing")
            << "d.txt" << kTwoChromosomes << QStringList{"open:plain/e.dat", "newfile"} << QByteArray()
            << "status 1, shown" << QByteArray("Input file problem!\n") << QByteArray();
        // Runs of two labels taking turns, each spanning the int range.
        fault("genome-wide x past INT_MAX",
              withHeader(QByteArray("A\t-2147483648\t0.5\nA\t2147483647\t0.5\n"
                                    "B\t-2147483648\t0.5\nB\t2147483647\t0.5\n").repeated(30)),
              "Genome-wide position out of range detected!");

        // Binary files and NUL bytes.
        QByteArray everyByte; // the first line, bytes 0 to 9, is two fields around the TAB
        for (int b = 0; b < 1024; ++b)
            everyByte += char(b);
        fault("every byte value", everyByte, "Data file contains < 3 columns!");
        fault("PNG image", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) + everyByte, "Unknown data file delimiter!");
        // A field is all its bytes: Qt alone would stop at the NUL and read 0.
        const auto withNuls = [](const char *text) { return QByteArray(text).replace('@', '\0'); };
        fault("NUL in a p-value", withHeader(withNuls("1\t100\t0.5\n1\t200\t0.@1\n")), "Non-numeric p-value detected!");
        shown("NUL in a label makes another chromosome",
              withHeader(withNuls("7\t100\t0.5\n7\t200\t0.1\n7@\t300\t0.2\n7@\t400\t0.3\n")),
              {"pick:1", "save:out", "exit"}, 0,
              withNuls("Get GLOBAL\nselect chrom 7@ 1 point *\n\nselected chromosome by getManhattan 7@\n"),
              kSaveHeader + withNuls("7@\t300\t0.2\t0.69897\n7@\t400\t0.3\t0.522879\n"));

        // Encodings and line ends.
        loads("UTF-8 byte-order mark before the header", "\xef\xbb\xbfP\tCHR\tPOS\n0.5\t7\t1000\n1e-5\t7\t2000\n",
              kPoints7);
        loads("UTF-8 byte-order mark before data", "\xef\xbb\xbf" "7\t1000\t0.5\n7\t2000\t1e-5\n", kPoints7);
        QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
        loads("UTF-16LE", utf16(QStringLiteral("CHR\tPOS\tP\r\n7\t1000\t0.5\r\n7\t2000\t1e-5\r\n")), kPoints7);
        // Bytes that are not UTF-8 read as U+FFFD: "chr\xe9" and "chr\xe8" are one label.
        const QByteArray fffd = "chr\xef\xbf\xbd";
        loads("Latin-1 labels", withHeader("chr\xe9\t1000\t0.5\nchr\xe8\t2000\t1e-5\n"),
              fffd + "\t1000\t0.5\t0.30103\n" + fffd + "\t2000\t1e-05\t5\n",
              "selected chromosome by getManhattan " + fffd + "\n");
        // A lone CR ends no line: the whole file is one line.
        fault("lone CR line ends", "CHR\tPOS\tP\r7\t1000\t0.5\r7\t2000\t1e-5\r", "Incorrect data columns!");
        // 50 MB lines without a line end: the only line; the last line, holding p = 10^-50000001.
        fault("50 MB line alone", QByteArray(50 * 1024 * 1024, 'A'), "Unknown data file delimiter!");
        shown("50 MB line last", withHeader("7\t1000\t0.5\n7\t2000\t0." + QByteArray(50000000, '0') + "1"),
              {"wait:2500", "save:out", "exit"}, 0, kPicked7,
              kSaveHeader + "7\t1000\t0.5\t0.30103\n7\t2000\t1e-50000001\t5e+07\n");

        // Too little data, numbers, columns.
        fault("header only", "CHR\tPOS\tP\n", "Illegal data range in getManhattan0!");
        fault("only NA rows", withHeader("1\t100\tNA\n2\t300\tNA\n"), "Illegal data range in getManhattan0!");
        fault("one kept row", withHeader("1\t100\t0.5\n2\t300\tNA\n"), "Illegal data range in getManhattan0!");
        fault("position past 32 bits", withHeader("1\t100\t0.5\n1\t4294967396\t0.1\n"),
              "Non-integer position value detected!");
        fault("position 150.0", withHeader("1\t100\t0.5\n1\t150.0\t0.1\n"), "Non-integer position value detected!");
        fault("p-value nan", withHeader("1\t100\t0.5\n1\t200\tnan\n"), "Invalid p-value detected!");
        fault("p-value inf", withHeader("1\t100\t0.5\n1\t200\tinf\n"), "Invalid p-value detected!");
        fault("p-value -0.5", withHeader("1\t100\t0.5\n1\t200\t-0.5\n"), "Invalid p-value detected!");
        loads("p-value 1e-400", withHeader("7\t1000\t0.5\n7\t2000\t1e-400\n"),
              "7\t1000\t0.5\t0.30103\n7\t2000\t1e-400\t400\n");
        loads("p-value 0e0 is skipped", withHeader("7\t1000\t0.5\n7\t1500\t0e0\n7\t2000\t1e-5\n"), kPoints7);
        loads("more columns than the header", withHeader("7\t1000\t0.5\tx\ty\n7\t2000\t1e-5\t\t\t\n"), kPoints7);
        fault("fewer columns than the header", withHeader("7\t1000\t0.5\n7\t2000\n7\t3000\t0.01\n"),
              "Data line with missing columns detected!");

        // Picks. A run of one row cannot be shown: the genome-wide view stays
        // and the next box picks again.
        shown("pick of a one-row run",
              withHeader("1\t100\t0.5\n1\t20000\t0.01\n2\t500\t1e-8\n3\t100\t0.2\n3\t9000\t0.3\n"),
              {"pick:1", "pick:2", "save:out", "exit"}, 0,
              kPickedRun1 + "Illegal data range in getManhattan!\nselect chrom 3 2 point *\n\n"
                            "selected chromosome by getManhattan 3\n",
              kSaveHeader + "3\t100\t0.2\t0.69897\n3\t9000\t0.3\t0.522879\n");
        // The layout is checked before the pick's load is logged.
        shown("file deleted before a pick", kTwoChromosomes, {"remove", "pick:1"}, 1,
              "Get GLOBAL\nselect chrom 2 1 point *\n\nCannot open data file!\n");
        shown("values changed before a pick", kTwoChromosomes,
              {"replace:CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t700\t1e-9\n2\t30000\t0.1\n", "pick:1",
               "save:out", "exit"},
              0, kPickedRun1, kSaveHeader + "2\t700\t1e-09\t9\n2\t30000\t0.1\t1\n");
        shown("file cut short before a pick", kTwoChromosomes, {"replace:CHR\tPOS\tP\n", "pick:1", "exit"}, 0,
              kPickedRun1 + "Illegal data range in getManhattan!\n");
        // The byte where the run began is now inside a line ("1\t20000000\t0.01",
        // whose tail has two fields): a changed file is read from its start,
        // and the label's first block is shown. The same with the file's size
        // unchanged: its modification time tells.
        shown("lines moved before a pick", kTwoChromosomes,
              {"replace:CHR\tPOS\tP\n1\t100\t0.5\n1\t20000000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n", "pick:1",
               "save:out", "exit"},
              0, kPickedRun1, kSaveHeader + "2\t100\t1e-08\t8\n2\t30000\t0.2\t0.69897\n");
        shown("lines moved before a pick, same size", kTwoChromosomes,
              {"replace:CHR\tPOS\tP\n1\t100\t0.5\n1\t2000000\t0.01\n2\t100\t1e-8\n2\t300\t0.2\n", "pick:1",
               "save:out", "exit"},
              0, kPickedRun1, kSaveHeader + "2\t100\t1e-08\t8\n2\t300\t0.2\t0.69897\n");

        // Saves that fail leave no data file, temporary file or picture; an
        // older file of the name stays as it was. The message has no line feed.
        shown("read-only file system", kChromosome7, {"save:/proc/tivrel-out"}, 1,
              kPicked7 + "Could not generate outpout file!");
        QByteArray big = "CHR\tPOS\tP\n"; // about 40 kB to save
        for (int i = 1; i <= 2000; ++i)
            big += "7\t" + QByteArray::number(i * 1000) + "\t0." + QByteArray::number(i) + "\n";
        const QByteArray older = "an older file that a failed save must not touch\n";
        QTest::newRow("write cut short by a file size limit")
            << "d.txt" << big << QStringList{"limit:4096", "save:out"} << older << "status 1, shown"
            << kPicked7 + "Could not generate outpout file!" << older;

        // Compressed files, whatever their name: read decompressed, a pick in
        // a bgzip file seeking to its run. Damaged or cut short, at the start
        // or at a pick (a file changed on disk is read from its start): the
        // message, never a partial plot.
        const char *damaged = "Compressed data file is damaged or cut short!";
        loads("gzip", gzipped(kChromosome7), kPoints7);
        shown("bgzip, a pick", bgzipped(kTwoChromosomes, 20), {"pick:1", "save:out", "exit"}, 0, kPickedRun1,
              kSaveHeader + "2\t100\t1e-08\t8\n2\t30000\t0.2\t0.69897\n");
        const QByteArray gzip = gzipped(big), bgzip = bgzipped(big);
        fault("gzip cut short", gzip.first(gzip.size() - 3), damaged);
        QByteArray changed = bgzip;
        changed[bgzip.size() / 2] = char(changed[bgzip.size() / 2] ^ 0x10);
        fault("bgzip with a damaged block", changed, damaged);
        const QByteArray twoBgzip = bgzipped(kTwoChromosomes, 20);
        // Found on opening, before the pick's load is logged.
        shown("bgzip cut short before a pick", twoBgzip,
              {QString("cut:%1").arg(twoBgzip.size() - 40), "pick:1"}, 1,
              QByteArray("Get GLOBAL\nselect chrom 2 1 point *\n\n") + damaged + "\n");
    }

    void endsCleanly()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, actions);
        QFETCH(QByteArray, older);
        QFETCH(QString, ending);
        QFETCH(QByteArray, log);
        QFETCH(QByteArray, saved);

        QTemporaryDir work;
        if (file.contains('/'))
            QDir(work.path()).mkpath(QFileInfo(file).path());
        const QString path = file.isEmpty() ? QString() : writeFile(work.filePath(file), content);
        if (!older.isNull())
            writeFile(work.filePath("out.txt"), older);
        QProcess child;
        child.setWorkingDirectory(work.path());
        child.start(QStringLiteral(TIVREL_CHILD), QStringList{path} + actions);
        QVERIFY2(child.waitForFinished(240000), "the child hung"); // 50 MB read twice under the sanitizers
        const QByteArray err = child.readAllStandardError();
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && !err.contains("Sanitizer")
                     && !err.contains("runtime error"), err.constData());
        const bool wasShown = child.readAllStandardOutput().contains("window shown");
        const QString actual = QString("status %1, %2").arg(child.exitCode()).arg(wasShown ? "shown" : "never shown");
        QVERIFY2(actual == ending, qPrintable(actual + "; standard error:\n" + err));

        const QByteArray actualLog = readFile(work.filePath("Tivrel_log.txt"));
        QVERIFY2(logMatches(actualLog, kLogHeader + log), actualLog.constData());
        QCOMPARE(readFile(work.filePath("out.txt")), saved);
        QStringList outputs = QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        outputs.removeOne("Tivrel_log.txt");
        outputs.removeOne(file.section('/', 0, 0));
        for (const QString &action : actions)
            if (action.startsWith("open:"))
                outputs.removeOne(action.mid(5).section('/', 0, 0));
        QStringList expected;
        if (!saved.isNull())
            expected << (ending.startsWith("status 0") ? QStringList{"out.png", "out.txt"} : QStringList{"out.txt"});
        QCOMPARE(outputs, expected);
    }
};

QTEST_MAIN(HostileTest)
#include "test_hostile.moc"
