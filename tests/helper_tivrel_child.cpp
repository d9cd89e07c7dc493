// The program as main starts it, for tests that must watch a process end.
//
//   helper_tivrel_child PATH [ACTION...]
//
// PATH answers the start-up dialog ("" cancels it); then the actions run in
// order on the window:
//   exit, close   press "&Exit" / close the window
//   newfile       press "&New File" and cancel its dialog
//   open:NAME     copy PATH to NAME (a relative name, its folder made) and
//                 open it through "&New File"
//   save:NAME     press "&Save" and answer the file-name dialog with NAME
//   pick:K        drag a box whose centre column picks run K of the table
//   remove        delete PATH
//   replace:TEXT  write TEXT over PATH (same file, new content)
//   cut:BYTES     cut PATH to its first BYTES bytes
//   limit:BYTES   no file may grow past BYTES (a write past it fails)
//   wait:MS       let events run (after a slow load the open-file dialog's
//                 watchdog must pass before another dialog opens)
// "window shown" goes to standard output when the window is first shown.
#include "app/mywidget.h"
#include "app/state.h"
#include "select/selection.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
            std::puts("window shown");
            std::fflush(stdout);
        }
        return false;
    }
};

void pick(MyWidget &window, int k)
{
    const QLabel *image = imageLabelOf(&window);
    for (int column = 1; column + 1 < image->width(); ++column) {
        if (pickChromosome(column - 1, column + 1, GLOBAL_pixPerX, GLOBAL_minX, Start_value, End_value).index != k)
            continue;
        drag(&window, QPoint(column - 1, 0), QPoint(column + 1, image->height()));
        return;
    }
    qFatal("no column picks run %d", k);
}

void perform(MyWidget &window, const QString &path, const QString &action)
{
    const QString argument = action.section(QLatin1Char(':'), 1);
    if (action == QLatin1String("exit")) {
        click(&window, "exitButton");
    } else if (action == QLatin1String("close")) {
        window.close();
    } else if (action == QLatin1String("newfile")) {
        answerFileDialog(QString());
        click(&window, "newFileButton");
    } else if (action.startsWith(QLatin1String("open:"))) {
        QDir().mkpath(QFileInfo(argument).path());
        answerFileDialog(writeFile(argument, readFile(path)));
        click(&window, "newFileButton");
    } else if (action.startsWith(QLatin1String("save:"))) {
        answerTextDialog(argument);
        click(&window, "saveButton");
    } else if (action.startsWith(QLatin1String("pick:"))) {
        pick(window, argument.toInt());
    } else if (action == QLatin1String("remove")) {
        QFile::remove(path);
    } else if (action.startsWith(QLatin1String("replace:"))) {
        writeFile(path, argument.toUtf8());
    } else if (action.startsWith(QLatin1String("cut:"))) {
        QFile::resize(path, argument.toLongLong());
    } else if (action.startsWith(QLatin1String("limit:"))) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of killing the process
        const rlimit limit{argument.toULongLong(), argument.toULongLong()};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            qFatal("setrlimit failed");
    } else if (action.startsWith(QLatin1String("wait:"))) {
        QTest::qWait(argument.toInt());
    } else {
        qFatal("unknown action %s", qPrintable(action));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString path = args.value(0);
    ShowReporter reporter;
    app.installEventFilter(&reporter);
    answerFileDialog(path);

    MyWidget window(nullptr);
    window.setWindowTitle(QStringLiteral("TIVREL 0.1 by Ruvetti  (helper)"));
    window.move(5, 5);
    window.show();
    QTimer::singleShot(0, &window, [&window, path, actions = args.mid(1)]() {
        for (const QString &action : actions)
            perform(window, path, action);
    });
    QTimer::singleShot(30000, &app, []() { QCoreApplication::exit(4); }); // no hang if no action ends the run
    return app.exec();
}
