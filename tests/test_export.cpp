// Saving the points on show: output names, number text, the data file, and
// the window's save, save-and-remove and genome-wide save.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/loads.h"
#include "export/savefiles.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QImage>
#include <QInputDialog>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

namespace {

// One chromosome, so the window opens in the chromosome view. Its padded
// left bound is negative (0 less a pad of 50).
const QByteArray chromosomeFile = "CHR\tPOS\tP\n5\t0\t0.01\n5\t100\t1e-400\n5\t250\t1\n5\t1000\t3.2e-8\n";
const QByteArray header = "Chr\tPosition\tP\t-log10(P)\n";
const QByteArray savedRows = header + "5\t0\t0.01\t2\n5\t100\t1e-400\t400\n5\t250\t1\t0\n5\t1000\t3.2e-08\t7.49485\n";

// Answers the name dialogs in turn, one answer each (a null string or no
// answer left cancels), and records the title, label and offered text of each.
struct NameDialogs {
    explicit NameDialogs(const QStringList &answers)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, answers]() {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dialog) // answered dialogs are hidden at once, so each is seen once
                return;
            asked.append({dialog->windowTitle(), dialog->labelText(), dialog->textValue()});
            const QString answer = answers.value(asked.size() - 1);
            if (answer.isNull()) {
                dialog->reject();
                return;
            }
            dialog->setTextValue(answer);
            dialog->accept();
        });
        timer.start(10);
    }
    QList<QStringList> asked;
    QTimer timer;
};

// Opens a data file, written to the working directory, in a window.
std::unique_ptr<MyWidget> openWindow(const QByteArray &text, const QString &name = "in.txt")
{
    answerFileDialog(writeFile(name, text));
    return std::make_unique<MyWidget>();
}

QStringList filesHere()
{
    return QDir().entryList(QDir::Files, QDir::Name);
}

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

    void names_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("data");
        QTest::addColumn<QString>("image");
        QTest::newRow("plain") << "run1" << "run1.txt" << "run1.png";
        QTest::newRow("with .txt") << "run1.txt" << "run1.txt" << "run1.png";
        QTest::newRow("two dots") << "a.b.txt" << "a.b.txt" << "a.b.png";
        QTest::newRow("parent directory") << "../out/r" << "../out/r.txt" << "../out/r.png";
        QTest::newRow("dotted directory") << "dir.old/r" << "dir.old/r.txt" << "dir.old/r.png";
        QTest::newRow("suffix case") << "x.TXT" << "x.TXT.txt" << "x.TXT.png";
        QTest::newRow(".txt inside") << "notes.txt.old" << "notes.txt.old" << "notes.txt.png";
    }
    void names()
    {
        QFETCH(QString, answer);
        QTEST(dataFileName(answer), "data");
        QTEST(imageFileName(dataFileName(answer)), "image");
    }

    void numbers_data()
    {
        QTest::addColumn<double>("score");
        QTest::addColumn<QString>("p");
        QTest::addColumn<QString>("scoreText");
        QTest::newRow("2") << 2.0 << "0.01" << "2";
        QTest::newRow("400") << 400.0 << "1e-400" << "400";
        QTest::newRow("-0") << -0.0 << "1" << "0";
        QTest::newRow("7 significant digits") << 7.123456789 << "7.52564e-08" << "7.12346";
        QTest::newRow("308, within a double") << 308.25 << "5.62341e-309" << "308.25";
        QTest::newRow("308, beyond a double") << 308.3 << "5.01187e-309" << "308.3";
        QTest::newRow("far beyond, 7 digits") << 123456.789 << "1.62555e-123457" << "123457";
        QTest::newRow("rounds up to 1e-400") << 400.0000001 << "1e-400" << "400";
        QTest::newRow("million") << 1234567.0 << "1e-1234567" << "1.23457e+06";
    }
    void numbers()
    {
        QFETCH(double, score);
        QTEST(pValueText(score), "p");
        QTEST(numberText(score), "scoreText");
    }

    // The writer formats numbers itself; the text must be the text stream's.
    void numbersMatchTheTextStream()
    {
        std::mt19937_64 random(7);
        for (int i = 0; i < 200000; ++i) {
            const quint64 bits = random();
            double v = std::uniform_real_distribution<double>(-400, 400)(random); // scores
            if (i % 2)
                std::memcpy(&v, &bits, sizeof v); // any double
            if (!std::isfinite(v))
                continue;
            QString expected, p;
            QTextStream(&expected) << v;
            QCOMPARE(numberText(v), expected);
            if (std::isfinite(std::pow(10.0, v))) {
                QTextStream(&p) << 1 / std::pow(10.0, v);
                QCOMPARE(pValueText(v), p);
            }
        }
    }

    void dataFileRowsAndFailedWrites()
    {
        QVERIFY(::writeDataFile("empty.txt", "1", {}, {}));
        QCOMPARE(readFile("empty.txt"), header);
        writeFile("rows.txt", QByteArray(500, 'x')); // a longer file is replaced whole
        QVERIFY(::writeDataFile("rows.txt", "chr1", {-5, 2147483647}, {2, -0.0}));
        QCOMPARE(readFile("rows.txt"), header + "chr1\t-5\t0.01\t2\nchr1\t2147483647\t1\t0\n");
        // A write that fails leaves no file behind.
        writeFile("plain", "not a directory");
        QVERIFY(!::writeDataFile("plain/out.txt", "1", {1}, {2.0}));
        QVERIFY(!::writeDataFile("missing/out.txt", "1", {1}, {2.0}));
        QCOMPARE(filesHere(), QStringList({"empty.txt", "plain", "rows.txt"}));
    }

    void saveAsksAndWrites()
    {
        auto window = openWindow(chromosomeFile);
        const QList<int> shown = Pos_list;
        NameDialogs dialogs({"run1"});
        QTest::mouseClick(window->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
        QCOMPARE(dialogs.asked, QList<QStringList>({{"Enter new filename", "File name * or *.txt", "file"}}));
        QCOMPARE(readFile("run1.txt"), savedRows);
        QCOMPARE(QImage("run1.png").size(), QSize(640, 600));
        QCOMPARE(Pos_list2, shown); // saving changes nothing on show
        // Every saved row loads back with its score, 1e-400 included.
        const GenomeWide back = loadGenomeWide("run1.txt");
        QCOMPARE(back.fault, Fault::None);
        QCOMPARE(back.scores, QList<double>({2.0, 400.0, 0.0, -std::log10(3.2e-8)}));
    }

    // The last name is offered next time, cut to 50 bytes; a cancelled or
    // empty name saves nothing, and a name of the open data file is asked again.
    void nameDialogAnswers()
    {
        auto window = openWindow(chromosomeFile);
        const QString longName = QString("0123456789").repeated(6);
        NameDialogs dialogs({longName, QString(), "", "in", "./in.txt", "short"});
        QVERIFY(window->makeFile());
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
    }

    void saveAndRemove()
    {
        auto window = openWindow(chromosomeFile);
        QVERIFY(minX < 0);
        auto *button = window->findChild<QPushButton *>("saveRemoveButton");
        const QList<int> all = Pos_list;
        NameDialogs dialogs({QString(), "cut"});
        QTest::mouseClick(button, Qt::LeftButton); // cancelled
        QCOMPARE(Pos_list2, all);
        QCOMPARE(filesHere(), QStringList({"Tivrel_log.txt", "in.txt"}));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(readFile("cut.txt"), savedRows);
        QVERIFY(QFile::exists("cut.png"));
        // The unzoomed plot's area holds every point: all are removed.
        QVERIFY(Pos_list.isEmpty() && Pos_list2.isEmpty());
        QCOMPARE(globaldisplay, 0);
        // Before any data is loaded the button does nothing, not even ask.
        resetProgramState();
        globaldisplay = 0;
        window->saveAndRemove();
        QCOMPARE(dialogs.asked.size(), 2);
    }

    void genomeWideSaveWritesImageOnly()
    {
        auto window = openWindow("CHR\tPOS\tP\n1\t100\t0.5\n1\t900\t0.01\n2\t100\t1e-8\n", "g.txt");
        const QList<int> shown = Pos_list;
        NameDialogs none({});
        window->Save();
        QCOMPARE(QImage("g.txt.png").size(), QSize(640, 600));
        window->saveAndRemove(); // the same image again, nothing removed
        QVERIFY(none.asked.isEmpty());
        QCOMPARE(filesHere(), QStringList({"Tivrel_log.txt", "g.txt", "g.txt.png"}));
        QCOMPARE(Pos_list2, shown);
    }

    void unwritableLocationEndsTheProgram()
    {
        QProcess child;
        child.start(TIVREL_BINARY_DIR "/helper_save_child", {writeFile("in.txt", chromosomeFile), "nowhere/r"});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
        QVERIFY(readFile("Tivrel_log.txt").endsWith("\nCould not generate outpout file!"));
        QCOMPARE(filesHere(), QStringList({"Tivrel_log.txt", "in.txt"}));
    }
};

QTEST_MAIN(ExportTest)
#include "test_export.moc"
