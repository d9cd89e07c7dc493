// Saving the points on show: output names, number text, the data file, and
// the window's save, save-and-remove and genome-wide save.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/loads.h"
#include "export/savefiles.h"
#include "support/reference.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include <unistd.h>

namespace {

// One chromosome, so the window opens in the chromosome view. Its padded
// left bound is negative (0 less a pad of 50).
const QByteArray chromosomeFile = "CHR\tPOS\tP\n5\t0\t0.01\n5\t100\t1e-400\n5\t250\t1\n5\t1000\t3.2e-8\n";
const QByteArray savedRows = kSaveHeader + "5\t0\t0.01\t2\n5\t100\t1e-400\t400\n5\t250\t1\t0\n5\t1000\t3.2e-08\t7.49485\n";

// Opens a data file, written to the working directory, in a window.
std::unique_ptr<MyWidget> openWindow(const QByteArray &text, const QString &name = "in.txt")
{
    answerFileDialog(writeFile(name, text));
    return std::make_unique<MyWidget>();
}

QStringList filesHere() { return QDir().entryList(QDir::Files, QDir::Name); }

} // namespace

class ExportTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> workDir; // a fresh working directory for each test

private slots:
    void init()
    {
        resetProgramState();
        workDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(workDir->path()));
    }

    void names()
    {
        const struct { const char *answer, *data, *image; } cases[] = {
            {"run1", "run1.txt", "run1.png"},
            {"run1.txt", "run1.txt", "run1.png"},
            {"a.b.txt", "a.b.txt", "a.b.png"},
            {"../out/r", "../out/r.txt", "../out/r.png"},
            {"dir.old/r", "dir.old/r.txt", "dir.old/r.png"},
            {"x.TXT", "x.TXT.txt", "x.TXT.png"},
            {"notes.txt.old", "notes.txt.old", "notes.txt.png"}, // holds ".txt", so nothing is added
        };
        for (const auto &c : cases) {
            QCOMPARE(dataFileName(c.answer), QString(c.data));
            QCOMPARE(imageFileName(c.data), QString(c.image));
        }
    }

    // %g with 6 significant digits, also where 10^score is beyond a double.
    void numbers()
    {
        const struct { double score; const char *p, *scoreText; } cases[] = {
            {2.0, "0.01", "2"},
            {7.123456789, "7.52564e-08", "7.12346"},
            {308.3, "5.01187e-309", "308.3"},
            {400.0, "1e-400", "400"},
            {400.0000001, "1e-400", "400"}, // the mantissa rounds up to 10
        };
        for (const auto &c : cases) {
            QCOMPARE(pValueText(c.score), QString(c.p));
            QCOMPARE(numberText(c.score), QString(c.scoreText));
        }
    }

    // The writer formats numbers itself; the text must be the text stream's.
    void numbersMatchTheTextStream()
    {
        const auto streamed = [](double v) { QString text; QTextStream(&text) << v; return text; };
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> scores(-400, 400);
        for (int i = 0; i < 200000; ++i) {
            double v = scores(random);
            const quint64 bits = random();
            if (i % 2)
                std::memcpy(&v, &bits, sizeof v); // any double
            if (!std::isfinite(v))
                continue;
            QCOMPARE(numberText(v), streamed(v));
            if (std::isfinite(std::pow(10.0, v)))
                QCOMPARE(pValueText(v), streamed(1 / std::pow(10.0, v)));
        }
    }

    // The dialog's texts; the last name offered next time, cut to 50 bytes;
    // a cancelled or empty name saves nothing; the open data file's own name
    // is asked again.
    void saveAsksAndWrites()
    {
        auto window = openWindow(chromosomeFile);
        const QString longName = QString("0123456789").repeated(6);
        TextDialogAnswers dialogs({longName, QString(), "", "in", "./in.txt", "short"});
        window->Save();
        QCOMPARE(dialogs.asked, QList<QStringList>({{"Enter new filename", "File name * or *.txt", "file"}}));
        QCOMPARE(readFile(longName + ".txt"), savedRows);
        writeFile("short.txt", QByteArray(500, 'x')); // a longer file is replaced whole
        QVERIFY(!window->makeFile()); // cancelled
        QVERIFY(!window->makeFile()); // empty name
        QVERIFY(window->makeFile());  // the open data file twice, then "short"
        QCOMPARE(dialogs.asked.size(), 6);
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(dialogs.asked[i][2], longName.left(50));
        QCOMPARE(readFile("in.txt"), chromosomeFile);
        QCOMPARE(readFile("short.txt"), savedRows);
        QCOMPARE(filesHere(), QStringList({longName + ".png", longName + ".txt", "Tivrel_log.txt", "in.txt",
                                           "short.png", "short.txt"}));
        // Every saved row loads back with its score, 1e-400 included.
        QCOMPARE(loadGenomeWide("short.txt").scores, QList<double>({2.0, 400.0, 0.0, -std::log10(3.2e-8)}));
    }

    // Cancelled it does nothing; accepted it saves, then removes every point
    // of the unzoomed plot although its left bound is negative. A save of no
    // points writes the header alone.
    void saveAndRemove()
    {
        auto window = openWindow(chromosomeFile);
        QVERIFY(minX < 0);
        const QList<int> all = Pos_list;
        TextDialogAnswers dialogs({QString(), "cut", "none"});
        window->saveAndRemove();
        QCOMPARE(Pos_list2, all);
        QCOMPARE(filesHere(), QStringList({"Tivrel_log.txt", "in.txt"}));
        window->saveAndRemove();
        QCOMPARE(readFile("cut.txt"), savedRows);
        QVERIFY(Pos_list.isEmpty() && Pos_list2.isEmpty());
        window->Save();
        QCOMPARE(readFile("none.txt"), kSaveHeader);
        resetProgramState(); // before any data is loaded it does nothing, not even ask
        globaldisplay = 0;
        window->saveAndRemove();
        QCOMPARE(dialogs.asked.size(), 3);
    }

    void genomeWideSaveWritesImageOnly()
    {
        auto window = openWindow("CHR\tPOS\tP\n1\t100\t0.5\n1\t900\t0.01\n2\t100\t1e-8\n", "g.txt");
        const QList<int> shown = Pos_list;
        TextDialogAnswers none;
        window->Save();
        QCOMPARE(genomeWidePlotMismatch(window.get(), "g.txt", true), QString());
        QCOMPARE(imageDifference(QImage("g.txt.png"), imageLabelOf(window.get())->pixmap().toImage()), QString());
        window->saveAndRemove(); // the same image again, nothing removed
        QVERIFY(none.asked.isEmpty());
        QCOMPARE(filesHere(), QStringList({"Tivrel_log.txt", "g.txt", "g.txt.png"}));
        QCOMPARE(Pos_list2, shown);
    }

    // A data file named as its own genome-wide picture (its first 30 bytes
    // and ".png") is never written over.
    void genomeWideSaveKeepsTheDataFile()
    {
        const QString name = "abcdefghijklmnopqrstuvwxyz0123.png";
        const QByteArray data = "CHR\tPOS\tP\n1\t100\t0.5\n1\t900\t0.01\n2\t100\t1e-8\n";
        auto window = openWindow(data, name);
        window->Save();
        window->saveAndRemove();
        QCOMPARE(readFile(name), data);
        QCOMPARE(logText().count("Output file is the open data file, choose another name!\n"), 2);
    }

    // Where the folder forbids a temporary file beside the target but the
    // file itself may be written, the save writes it directly. Root ignores
    // the folder's permissions, so as root the save runs as "nobody".
    void saveIntoReadOnlyFolder()
    {
        auto window = openWindow(chromosomeFile);
        QVERIFY(QDir().mkdir("locked"));
        writeFile("locked/out.txt", "older");
        const auto all = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner | QFile::ExeGroup
            | QFile::ExeOther;
        QVERIFY(QFile::setPermissions("locked/out.txt", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther
                                                          | QFile::WriteOther));
        QVERIFY(QFile::setPermissions("locked", all));
        QVERIFY(QFile::setPermissions(".", all | QFile::WriteOwner));
        const bool root = geteuid() == 0;
        TextDialogAnswers dialogs({"locked/out"});
        QVERIFY(!root || (setegid(65534) == 0 && seteuid(65534) == 0));
        const bool saved = window->makeFile();
        QVERIFY(!root || (seteuid(0) == 0 && setegid(0) == 0));
        QVERIFY(saved);
        QCOMPARE(readFile("locked/out.txt"), savedRows);
        QCOMPARE(QDir("locked").entryList(QDir::Files), QStringList{"out.txt"});
        QFile::setPermissions("locked", all | QFile::WriteOwner);
    }
};

QTEST_MAIN(ExportTest)
#include "test_export.moc"
