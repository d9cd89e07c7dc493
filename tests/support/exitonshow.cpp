// Linked into a second build of the program's own main (tivrel_exit_on_show):
// once the window is first shown, its title and the names and view of the
// file it opened go to standard output, and "&Exit" is pressed, so that the
// log a good start leaves can be read.
#include "app/mywidget.h"
#include "app/state.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

class ExitOnShow : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<MyWidget *>(watched);
        if (event->type() != QEvent::Show || !window)
            return false;
        std::printf("window shown: %s\nfilename %s\nshortname %s\nglobaldisplay %d selected_chromosome %d\n",
                    qPrintable(window->windowTitle()), filename, shortname, globaldisplay, selected_chromosome);
        std::fflush(stdout);
        QTimer::singleShot(0, window, [window]() {
            window->findChild<QPushButton *>(QStringLiteral("exitButton"))->click();
        });
        return false;
    }
};

void installExitOnShow() { qApp->installEventFilter(new ExitOnShow(qApp)); }

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installExitOnShow)
