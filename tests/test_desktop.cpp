// Files reaching the window from outside the open-file dialog: the file named
// on the command line takes the place of the first dialog, a dropped file
// that of a "&New File" dialog. Either must leave exactly the state, view,
// picture and log that choosing the same file in the dialog leaves. Also the
// dialog's name filters.
#include "app/mywidget.h"
#include "app/state.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QByteArray kHeader = "Tivrel 0.1 by Ruvetti\n\n";
const QByteArray kThreeChromosomes = "CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n"
                                     "3\t500\t0.001\n3\t9000\t0.3\n";
const QByteArray kOneChromosome = "CHR\tPOS\tP\n7\t1000\t0.5\n7\t2000\t1e-5\n7\t3000\t0.01\n7\t4000\t0.2\n";

// What a file choice leaves behind, as text, so a difference reads plainly.
QString snapshot(QWidget *window)
{
    const QStringList hidden = hiddenWidgets(window);
    const QImage picture = window->findChild<QLabel *>(QStringLiteral("imageLabel"))->pixmap().toImage();
    QStringList positions;
    for (int p : Pos_list)
        positions << QString::number(p);
    return QStringList{
        QString("filename %1").arg(QString::fromLocal8Bit(filename)),
        QString("shortname %1").arg(QString::fromLocal8Bit(shortname)),
        QString("dataFilePath %1").arg(dataFilePath),
        QString("Tag %1; starts %2").arg(Tag.join(' ')).arg(Start_value.size()),
        QString("points %1").arg(positions.join(' ')),
        QString("globaldisplay %1, selected_chromosome %2, GLOBAL_minX %3, GLOBAL_pixPerX %4")
            .arg(globaldisplay)
            .arg(selected_chromosome)
            .arg(GLOBAL_minX)
            .arg(GLOBAL_pixPerX),
        QString("hidden %1").arg(hidden.join(' ')),
        QString("label %1").arg(window->findChild<QLabel *>(QStringLiteral("fileNameLabel"))->text()),
        QString("picture %1").arg(qHashBits(picture.constBits(), size_t(picture.sizeInBytes()))),
        QString("log %1").arg(QString::fromUtf8(logText()))}
        .join('\n');
}

// While alive, hands every open-file dialog that shows to `act` (which must
// close it) and counts them: a dialog that should not appear is seen, and no
// timer outlives the watch to meet a later test's dialog.
class DialogWatch : public QObject
{
public:
    explicit DialogWatch(std::function<void(QFileDialog *)> act) : act(std::move(act))
    {
        qApp->installEventFilter(this);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QFileDialog *>(watched);
        if (dialog && event->type() == QEvent::Show) {
            ++shown;
            QTimer::singleShot(0, dialog, [this, dialog]() { act(dialog); });
        }
        return false;
    }
    int shown = 0;

private:
    std::function<void(QFileDialog *)> act;
};

DialogWatch *answering(const QString &path)
{
    return new DialogWatch([path](QFileDialog *d) { acceptFileDialog(d, path); });
}

// The directory the next "&New File" dialog starts in; the dialog is cancelled.
QString nextDialogDirectory(MyWidget &window)
{
    QString directory;
    DialogWatch watch([&directory](QFileDialog *d) {
        directory = d->directory().canonicalPath();
        acceptFileDialog(d, QString());
    });
    window.findChild<QPushButton *>(QStringLiteral("newFileButton"))->click();
    return directory;
}

// A fresh window whose first dialog is answered with `path`.
std::unique_ptr<MyWidget> chosenInDialog(const QString &path)
{
    resetProgramState();
    std::unique_ptr<DialogWatch> watch(answering(path));
    return std::make_unique<MyWidget>();
}

void sendDrop(QWidget *window, QMimeData *mime, bool *enterAccepted, bool *dropAccepted)
{
    const QPoint at = window->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    *enterAccepted = enter.isAccepted();
    QDropEvent drop(QPointF(at), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    *dropAccepted = drop.isAccepted();
    QCoreApplication::processEvents(); // the load runs once the drop is over
}

QMimeData *urls(const QList<QUrl> &list)
{
    auto *mime = new QMimeData;
    mime->setUrls(list);
    return mime;
}

} // namespace

class DesktopTest : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(workDir.path()));
        QDir().mkpath("sub");
        writeFile("several.txt", kThreeChromosomes);
        writeFile("sub/one.txt", kOneChromosome);
        writeFile("sub/other.csv", kThreeChromosomes);
    }

    // The file as a user types it after `tivrel`; the dialog is answered with
    // its absolute path.
    void commandLineFileAsIfChosen_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QByteArray>("log");
        QTest::newRow("several chromosomes") << "several.txt" << kHeader + "Get GLOBAL\n";
        QTest::newRow("one chromosome, in a subdirectory")
            << "sub/one.txt" << kHeader + "selected chromosome by getManhattan 7\n";
        QTest::newRow("absolute path with . and ..")
            << QDir::currentPath() + "/sub/./../sub/one.txt" << kHeader + "selected chromosome by getManhattan 7\n";
    }

    void commandLineFileAsIfChosen()
    {
        QFETCH(QString, argument);
        const QString absolute = QFileInfo(argument).absoluteFilePath();
        auto reference = chosenInDialog(absolute);
        const QString expected = snapshot(reference.get());
        reference.reset();

        resetProgramState();
        std::unique_ptr<DialogWatch> watch(answering(absolute));
        MyWidget window(nullptr, argument);
        QCOMPARE(watch->shown, 0);
        watch.reset();
        QCOMPARE(snapshot(&window), expected);
        QTEST(logText(), "log");

        // "&New File" still asks, starting in the file's directory; cancelled,
        // it keeps the data (the directory listing holds the file) and the log
        // starts afresh.
        QCOMPARE(nextDialogDirectory(window), QFileInfo(absolute).canonicalPath());
        QCOMPARE(logText(), kHeader);
        QCOMPARE(snapshot(&window).section("\nlog ", 0, 0), expected.section("\nlog ", 0, 0));
    }

    // The filters as the user sees them: our own files first and chosen, any
    // file (compressed ones, other suffixes) one choice away.
    void dialogOffersAllFiles()
    {
        QStringList filters;
        QString selected;
        resetProgramState();
        DialogWatch watch([&](QFileDialog *d) {
            filters = d->nameFilters();
            selected = d->selectedNameFilter();
            acceptFileDialog(d, QFileInfo("several.txt").absoluteFilePath());
        });
        MyWidget window;
        QCOMPARE(filters, QStringList({"Image Files (*.txt *.csv)", "All Files (*)"}));
        QCOMPARE(selected, filters.value(0));
    }

    // A drop after a first file gives what "&New File" with the dropped file
    // gives: state, view, picture, log, and the next dialog's directory.
    void dropAsIfChosenWithNewFile_data()
    {
        QTest::addColumn<QString>("dropped");
        QTest::newRow("several chromosomes") << "sub/other.csv";
        QTest::newRow("one chromosome") << "sub/one.txt";
    }

    void dropAsIfChosenWithNewFile()
    {
        QFETCH(QString, dropped);
        const QString path = QFileInfo(dropped).absoluteFilePath();
        auto reference = chosenInDialog(QFileInfo("several.txt").absoluteFilePath());
        {
            std::unique_ptr<DialogWatch> watch(answering(path));
            reference->findChild<QPushButton *>(QStringLiteral("newFileButton"))->click();
        }
        const QString expected = snapshot(reference.get());
        const QString expectedDirectory = nextDialogDirectory(*reference);
        reference.reset();

        auto window = chosenInDialog(QFileInfo("several.txt").absoluteFilePath());
        QVERIFY(window->acceptDrops());
        bool enterAccepted = false, dropAccepted = false;
        std::unique_ptr<QMimeData> mime(urls({QUrl::fromLocalFile(path)}));
        sendDrop(window.get(), mime.get(), &enterAccepted, &dropAccepted);
        QVERIFY(enterAccepted && dropAccepted);
        QCOMPARE(snapshot(window.get()), expected);
        QCOMPARE(nextDialogDirectory(*window), expectedDirectory);
    }

    // Anything but one readable local file is refused at the door: the drag
    // shows it cannot drop, and a drop changes nothing, not even the log.
    void dropRefused_data()
    {
        QTest::addColumn<QList<QUrl>>("dropped");
        const QUrl one = QUrl::fromLocalFile(QFileInfo("sub/one.txt").absoluteFilePath());
        QTest::newRow("two files") << QList<QUrl>{one, QUrl::fromLocalFile(QFileInfo("several.txt").absoluteFilePath())};
        QTest::newRow("remote file") << QList<QUrl>{QUrl("https://example.org/one.txt")};
        QTest::newRow("directory") << QList<QUrl>{QUrl::fromLocalFile(QFileInfo("sub").absoluteFilePath())};
        QTest::newRow("missing file") << QList<QUrl>{QUrl::fromLocalFile(QDir::currentPath() + "/gone.txt")};
        QTest::newRow("text, no file") << QList<QUrl>{};
    }

    void dropRefused()
    {
        QFETCH(QList<QUrl>, dropped);
        auto window = chosenInDialog(QFileInfo("several.txt").absoluteFilePath());
        const QString before = snapshot(window.get());
        std::unique_ptr<QMimeData> mime(urls(dropped));
        if (dropped.isEmpty())
            mime->setText(QFileInfo("sub/one.txt").absoluteFilePath());
        bool enterAccepted = true, dropAccepted = true;
        sendDrop(window.get(), mime.get(), &enterAccepted, &dropAccepted);
        QVERIFY(!enterAccepted && !dropAccepted);
        QCOMPARE(snapshot(window.get()), before);
    }
};

QTEST_MAIN(DesktopTest)
#include "test_desktop.moc"
