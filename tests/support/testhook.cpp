// Loaded into the real program through QT_QPA_GENERIC_PLUGINS=tivrelhook, so
// that a test can run main itself: the open-file dialog is answered with
// TIVREL_HOOK_OPEN (cancelled when it is empty), and once the window is on
// show its title, position and picture size go to standard output
// ("title: ...", "position: X,Y", "picture: WxH") before "&Exit" is clicked.
#include <QApplication>
#include <QFileDialog>
#include <QGenericPlugin>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

class Hook : public QObject
{
public:
    Hook() { qApp->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show)
            return false;
        if (auto *dialog = qobject_cast<QFileDialog *>(watched))
            QTimer::singleShot(0, dialog, [dialog]() { answer(dialog); });
        else if (watched->isWidgetType() && watched->inherits("MyWidget"))
            QTimer::singleShot(0, watched, [window = static_cast<QWidget *>(watched)]() { report(window); });
        return false;
    }

private:
    static void answer(QFileDialog *dialog)
    {
        const QString path = qEnvironmentVariable("TIVREL_HOOK_OPEN");
        if (path.isEmpty())
            return dialog->reject();
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    }

    static void report(QWidget *window)
    {
        const auto *image = window->findChild<QLabel *>(QStringLiteral("imageLabel"));
        const QSize picture = image ? image->pixmap().size() : QSize();
        std::printf("title: %s\nposition: %d,%d\npicture: %dx%d\n", qPrintable(window->windowTitle()),
                    window->pos().x(), window->pos().y(), picture.width(), picture.height());
        std::fflush(stdout);
        for (auto *button : window->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("&Exit"))
                button->click();
    }
};

} // namespace

class TestHookPlugin : public QGenericPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "testhook.json")

public:
    // The application owns and deletes the hook.
    QObject *create(const QString &, const QString &) override { return new Hook; }
};

#include "testhook.moc"
