// The program as main starts it, for tests that must watch a process end:
// the start-up open-file dialog is answered from the command line, then the
// given actions are carried out on the running window, in order.
//
//   helper_tivrel_child PATH [ACTION...]
//
// PATH answers the start-up dialog ("" cancels it). Actions:
//   vanish      delete PATH as soon as the dialog has accepted it, so that
//               the load finds no file
//   newfile:P   press "&New File" and answer its dialog with P ("" cancels)
//   save:NAME   press "&Save" and answer the file-name dialog with NAME
//   pick:K      drag a box on the genome-wide plot whose centre column picks
//               run K of the chromosome table
//   remove      delete PATH
//   replace:SRC write the bytes of the file SRC over PATH (same file, new
//               content)
//   limit:BYTES no file may grow past BYTES from now on (RLIMIT_FSIZE, with
//               SIGXFSZ ignored, so a write past it fails)
//   wait:MS     let events run for MS milliseconds (after a slow load, the
//               open-file dialog's watchdog must pass before another dialog)
//   exit        press "&Exit"
//   close       close the window
// "window shown" goes to standard output when the window is first shown.
#include "app/mywidget.h"
#include "app/state.h"
#include "select/selection.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

class ShowReporter : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<MyWidget *>(watched)) {
            std::fputs("window shown\n", stdout);
            std::fflush(stdout);
        }
        return false;
    }
};

void press(MyWidget &window, const char *button)
{
    auto *b = window.findChild<QPushButton *>(QLatin1String(button));
    if (!b)
        qFatal("no button %s", button);
    b->click();
}

// Drags a box on the plot whose centre column falls on run k.
void pick(MyWidget &window, int k)
{
    auto *image = window.findChild<QLabel *>(QStringLiteral("imageLabel"));
    if (!image)
        qFatal("no plot label");
    for (int column = 1; column + 1 < image->width(); ++column) {
        if (pickChromosome(column - 1, column + 1, GLOBAL_pixPerX, GLOBAL_minX, Start_value, End_value).index != k)
            continue;
        const QPoint from = image->mapTo(&window, QPoint(column - 1, 0));
        const QPoint to = image->mapTo(&window, QPoint(column + 1, image->height()));
        QTest::mousePress(&window, Qt::LeftButton, {}, from);
        QTest::mouseMove(&window, to);
        QTest::mouseRelease(&window, Qt::LeftButton, {}, to);
        return;
    }
    qFatal("no column picks run %d", k);
}

void limitFileSize(qlonglong bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("setrlimit failed");
}

void perform(MyWidget &window, const QString &path, const QString &action)
{
    if (action == QLatin1String("exit")) {
        press(window, "exitButton");
    } else if (action == QLatin1String("close")) {
        window.close();
    } else if (action.startsWith(QLatin1String("newfile:"))) {
        answerFileDialog(action.mid(8));
        press(window, "newFileButton");
    } else if (action.startsWith(QLatin1String("save:"))) {
        answerTextDialog(action.mid(5));
        press(window, "saveButton");
    } else if (action.startsWith(QLatin1String("pick:"))) {
        pick(window, action.mid(5).toInt());
    } else if (action == QLatin1String("remove")) {
        QFile::remove(path);
    } else if (action.startsWith(QLatin1String("replace:"))) {
        writeFile(path, readFile(action.mid(8)));
    } else if (action.startsWith(QLatin1String("limit:"))) {
        limitFileSize(action.mid(6).toLongLong());
    } else if (action.startsWith(QLatin1String("wait:"))) {
        QTest::qWait(action.mid(5).toInt());
    } else if (action != QLatin1String("vanish")) {
        qFatal("unknown action %s", qPrintable(action));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString path = args.value(0);
    const QStringList actions = args.mid(1);

    ShowReporter reporter;
    app.installEventFilter(&reporter);
    if (actions.contains(QLatin1String("vanish"))) {
        onFileDialog([path](QFileDialog *dialog) {
            acceptFileDialog(dialog, path);
            QFile::remove(path);
        });
    } else {
        answerFileDialog(path);
    }

    MyWidget window(nullptr);
    window.setWindowTitle(QStringLiteral("TIVREL 0.1 by Ruvetti  (helper)"));
    window.move(5, 5);
    window.show();
    QTimer::singleShot(0, &window, [&window, path, actions]() {
        for (const QString &action : actions)
            perform(window, path, action);
    });
    // A run that no action ends must not hang the test.
    QTimer::singleShot(30000, &app, []() { QCoreApplication::exit(4); });
    return app.exec();
}
