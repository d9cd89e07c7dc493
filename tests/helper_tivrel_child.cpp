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
//   exit        press "&Exit"
//   close       close the window
// "window shown" goes to standard output when the window is first shown.
#include "app/mywidget.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

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

void perform(MyWidget &window, const QString &action)
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
    QTimer::singleShot(0, &window, [&window, actions]() {
        for (const QString &action : actions)
            perform(window, action);
    });
    // A run that no action ends must not hang the test.
    QTimer::singleShot(30000, &app, []() { QCoreApplication::exit(4); });
    return app.exec();
}
