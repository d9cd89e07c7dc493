// Saving the points on show: output names, number text, the data file, and
// the window's save, save-and-remove and genome-wide save.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/loads.h"
#include "export/savefiles.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QInputDialog>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
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
const QByteArray savedRows = "Chr\tPosition\tP\t-log10(P)\n"
                             "5\t0\t0.01\t2\n5\t100\t1e-400\t400\n5\t250\t1\t0\n5\t1000\t3.2e-08\t7.49485\n";

// What one name dialog showed.
struct Asked {
    QString title, label, offered;
};

// Answers the next name dialogs in turn, one answer each (a null string
// cancels), and records what each showed. Any dialog beyond the answers is
// cancelled, so a save that asks too often cannot hang the test.
class NameDialogs
{
public:
    explicit NameDialogs(const QStringList &answers) : answers(answers)
    {
        QObject::connect(&timer, &QTimer::timeout, [this]() { answerOpenDialog(); });
        timer.start(10);
    }
    QList<Asked> asked;

private:
    void answerOpenDialog()
    {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->property("answered").toBool())
            return;
        dialog->setProperty("answered", true);
        asked.append({dialog->windowTitle(), dialog->labelText(), dialog->textValue()});
        const QString answer = asked.size() <= answers.size() ? answers[asked.size() - 1] : QString();
        if (answer.isNull()) {
            dialog->reject();
            return;
        }
        dialog->setTextValue(answer);
        dialog->accept();
    }
    QStringList answers;
    QTimer timer;
};

std::unique_ptr<MyWidget> openWindow(const QString &path)
{
    answerFileDialog(path);
    return std::make_unique<MyWidget>();
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

} // namespace

class ExportTest : public QObject
{
    Q_OBJECT
private slots:
    void init() { resetProgramState(); }

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
        QTest::newRow("absolute") << "/data/crop/r7" << "/data/crop/r7.txt" << "/data/crop/r7.png";
    }
    void names()
    {
        QFETCH(QString, answer);
        QFETCH(QString, data);
        QFETCH(QString, image);
        QCOMPARE(dataFileName(answer), data);
        QCOMPARE(imageFileName(data), image);
    }

    void numbers_data()
    {
        QTest::addColumn<double>("score");
        QTest::addColumn<QString>("p");
        QTest::addColumn<QString>("scoreText");
        QTest::newRow("2") << 2.0 << "0.01" << "2";
        QTest::newRow("400") << 400.0 << "1e-400" << "400";
        QTest::newRow("0") << 0.0 << "1" << "0";
        QTest::newRow("-0") << -0.0 << "1" << "0";
        QTest::newRow("7 significant digits") << 7.123456789 << "7.52564e-08" << "7.12346";
        QTest::newRow("5.5") << 5.5 << "3.16228e-06" << "5.5";
        QTest::newRow("tiny score") << 0.00001 << "0.999977" << "1e-05";
        QTest::newRow("p above 1") << -1.0 << "10" << "-1";
        QTest::newRow("308, within a double") << 308.25 << "5.62341e-309" << "308.25";
        QTest::newRow("308, beyond a double") << 308.3 << "5.01187e-309" << "308.3";
        QTest::newRow("far beyond, 7 digits") << 123456.789 << "1.62555e-123457" << "123457";
        QTest::newRow("rounds up to 1e-400") << 400.0000001 << "1e-400" << "400";
        QTest::newRow("million") << 1234567.0 << "1e-1234567" << "1.23457e+06";
    }
    void numbers()
    {
        QFETCH(double, score);
        QFETCH(QString, p);
        QFETCH(QString, scoreText);
        QCOMPARE(pValueText(score), p);
        QCOMPARE(numberText(score), scoreText);
    }

    // The writer formats numbers itself; the text must be the text stream's.
    void numbersMatchTheTextStream()
    {
        std::mt19937_64 random(7);
        for (int i = 0; i < 200000; ++i) {
            const quint64 bits = random();
            double v;
            if (i % 2) {
                std::memcpy(&v, &bits, sizeof v); // any finite double
                if (!std::isfinite(v))
                    continue;
            } else {
                v = std::uniform_real_distribution<double>(-400, 400)(random); // scores
            }
            QString expected;
            QTextStream(&expected) << v;
            QCOMPARE(numberText(v), expected);
            if (std::isfinite(std::pow(10.0, v))) {
                QString p;
                QTextStream(&p) << 1 / std::pow(10.0, v);
                QCOMPARE(pValueText(v), p);
            }
        }
    }

    void writeDataFileRows()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            QVERIFY(writeDataFile("empty.txt", "1", {}, {}));
            QCOMPARE(readFile("empty.txt"), QByteArray("Chr\tPosition\tP\t-log10(P)\n"));
            // An existing, longer file is replaced whole.
            writeFile(dir + "/rows.txt", QByteArray(500, 'x'));
            QVERIFY(writeDataFile("rows.txt", "chr1", {-5, 100, 2147483647}, {2, 400, -0.0}));
            QCOMPARE(readFile("rows.txt"), QByteArray("Chr\tPosition\tP\t-log10(P)\n"
                                                      "chr1\t-5\t0.01\t2\n"
                                                      "chr1\t100\t1e-400\t400\n"
                                                      "chr1\t2147483647\t1\t0\n"));
        });
    }

    void writeDataFileFailsWhole()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            writeFile(dir + "/plain", "not a directory");
            QVERIFY(!writeDataFile("plain/out.txt", "1", {1}, {2.0}));
            QVERIFY(!writeDataFile("missing/out.txt", "1", {1}, {2.0}));
            QCOMPARE(filesIn(dir), QStringList({"plain"}));
            if (geteuid() == 0)
                QSKIP("running as root: a read-only directory does not stop writes");
            QDir().mkdir("locked");
            writeFile(dir + "/locked/old.txt", "old rows\n");
            QFile::setPermissions(dir + "/locked", QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY(!writeDataFile("locked/old.txt", "1", {1}, {2.0}));
            QFile::setPermissions(dir + "/locked", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QCOMPARE(readFile("locked/old.txt"), QByteArray("old rows\n"));
        });
    }

    void saveAsksAndWrites()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/in.txt", chromosomeFile));
            QCOMPARE(globaldisplay, 0);
            const QList<int> shown = Pos_list;
            NameDialogs dialogs({"run1"});
            QTest::mouseClick(window->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
            QCOMPARE(dialogs.asked.size(), 1);
            QCOMPARE(dialogs.asked[0].title, QString("Enter new filename"));
            QCOMPARE(dialogs.asked[0].label, QString("File name * or *.txt"));
            QCOMPARE(dialogs.asked[0].offered, QString("file"));
            QCOMPARE(readFile("run1.txt"), savedRows);
            QCOMPARE(QImage("run1.png").size(), QSize(640, 600));
            QCOMPARE(Pos_list, shown); // saving changes nothing on show
            QCOMPARE(Pos_list2, shown);
            // Every saved row loads back with its score, 1e-400 included.
            const GenomeWide back = loadGenomeWide("run1.txt");
            QCOMPARE(int(back.fault), int(Fault::None));
            QCOMPARE(back.scores.size(), 4);
            QCOMPARE(back.scores.first(3), QList<double>({2.0, 400.0, 0.0}));
            QCOMPARE(back.table.tags, QStringList({"5"}));
        });
    }

    void defaultNameIsRemembered()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/in.txt", chromosomeFile));
            const QString longName = QString("0123456789").repeated(6);
            NameDialogs dialogs({longName, QString(), "", "short"});
            QVERIFY(window->makeFile());
            QVERIFY(!window->makeFile()); // cancelled
            QVERIFY(!window->makeFile()); // empty name
            QVERIFY(window->makeFile());
            QCOMPARE(dialogs.asked.size(), 4);
            QCOMPARE(dialogs.asked[1].offered, longName.left(50));
            QCOMPARE(dialogs.asked[2].offered, longName.left(50));
            QCOMPARE(dialogs.asked[3].offered, longName.left(50));
            QCOMPARE(filesIn(dir), QStringList({longName + ".png", longName + ".txt", "Tivrel_log.txt", "in.txt",
                                                "short.png", "short.txt"}));
        });
    }

    void openDataFileIsNeverOverwritten()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            const QString input = writeFile(dir + "/in.txt", chromosomeFile);
            auto window = openWindow(input);
            NameDialogs dialogs({"in", input, "./in.txt", "out"});
            QVERIFY(window->makeFile());
            QCOMPARE(dialogs.asked.size(), 4);
            QCOMPARE(readFile(input), chromosomeFile);
            QCOMPARE(readFile("out.txt"), savedRows);
        });
    }

    void saveAndRemove()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/in.txt", chromosomeFile));
            QVERIFY(minX < 0);
            auto *button = window->findChild<QPushButton *>("saveRemoveButton");
            const QList<int> all = Pos_list;
            {
                NameDialogs cancel({QString()});
                QTest::mouseClick(button, Qt::LeftButton);
                QCOMPARE(cancel.asked.size(), 1);
            }
            QCOMPARE(Pos_list, all);
            QCOMPARE(Pos_list2, all);
            QCOMPARE(filesIn(dir), QStringList({"Tivrel_log.txt", "in.txt"}));

            NameDialogs accept({"cut"});
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(readFile("cut.txt"), savedRows);
            QVERIFY(QFile::exists("cut.png"));
            // The unzoomed plot's area holds every point: all are removed.
            QVERIFY(Pos_list.isEmpty());
            QVERIFY(Pos_list2.isEmpty());
            QCOMPARE(globaldisplay, 0);
        });
    }

    void saveAndRemoveBeforeAnyDataDoesNothing()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/in.txt", chromosomeFile));
            resetProgramState(); // as at start-up: nothing loaded, nothing laid out
            globaldisplay = 0;   // the start-up chromosome view
            NameDialogs none({});
            window->saveAndRemove();
            QVERIFY(none.asked.isEmpty());
            QCOMPARE(filesIn(dir), QStringList({"Tivrel_log.txt", "in.txt"}));
        });
    }

    void genomeWideSaveWritesImageOnly()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto window = openWindow(writeFile(dir + "/g.txt", "CHR\tPOS\tP\n1\t100\t0.5\n1\t900\t0.01\n2\t100\t1e-8\n"));
            QCOMPARE(globaldisplay, 1);
            const QList<int> shown = Pos_list;
            NameDialogs none({});
            window->Save();
            QCOMPARE(QImage("g.txt.png").size(), QSize(640, 600));
            window->saveAndRemove(); // the same image again, nothing removed
            QVERIFY(none.asked.isEmpty());
            QCOMPARE(filesIn(dir), QStringList({"Tivrel_log.txt", "g.txt", "g.txt.png"}));
            QCOMPARE(Pos_list2, shown);
        });
    }

    void unwritableLocationEndsTheProgram()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            const QString input = writeFile(dir + "/in.txt", chromosomeFile);
            QProcess child;
            child.setWorkingDirectory(dir);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            child.setProcessEnvironment(env);
            child.start(TIVREL_BINARY_DIR "/helper_save_child", {input, "nowhere/r"});
            QVERIFY(child.waitForFinished(60000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 1);
            QVERIFY(readFile("Tivrel_log.txt").endsWith("\nCould not generate outpout file!"));
            QCOMPARE(filesIn(dir), QStringList({"Tivrel_log.txt", "in.txt"}));
        });
    }
};

QTEST_MAIN(ExportTest)
#include "test_export.moc"
