// Loaded into the real program through QT_QPA_GENERIC_PLUGINS=tivrelhook, so
// that a test runs main itself: it does the actions of TIVREL_HOOK_ACTIONS,
// one a line (see test_processcases.cpp), as a user would, and writes what it
// sees to standard output. The program carries no test code.
#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGenericPlugin>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QMimeData>
#include <QRubberBand>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>

namespace {

void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

QString relative(const QString &path)
{
    const QString r = QDir::current().relativeFilePath(path);
    return r.isEmpty() ? QStringLiteral(".") : r;
}

QString geometry(const QRect &r) { return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

// The layout tree: H(...) and V(...) for box layouts, widgets by name ("-"
// for unnamed ones), "!" after an item given a stretch or an alignment.
QString layoutText(QLayoutItem *item)
{
    if (QWidget *w = item->widget())
        return w->objectName().isEmpty() ? QStringLiteral("-") : w->objectName();
    auto *box = qobject_cast<QBoxLayout *>(item->layout());
    QStringList parts;
    for (int i = 0; box && i < box->count(); ++i)
        parts << layoutText(box->itemAt(i)) + (box->stretch(i) != 0 || box->itemAt(i)->alignment() ? "!" : "");
    return (!box ? "?(" : box->direction() == QBoxLayout::LeftToRight ? "H(" : "V(") + parts.join(' ') + ")";
}

// One line per widget: name, class, place, visibility and what a user sees of it.
QString widgetText(QWidget *w, QWidget *window, bool places)
{
    QStringList t{w->objectName().isEmpty() ? QStringLiteral("-") : w->objectName(), w->metaObject()->className()};
    if (places)
        t << geometry(w->geometry());
    if (!w->isVisibleTo(window))
        t << "hidden";
    if (auto *label = qobject_cast<QLabel *>(w)) {
        t << '"' + label->text() + '"';
        if (!label->pixmap().isNull())
            t << "picture " + geometry(label->pixmap().rect()).section(' ', 1);
        if (label->frameShape() != QFrame::NoFrame)
            t << QString("frame 0x%1 width %2").arg(label->frameStyle(), 0, 16).arg(label->lineWidth());
    }
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        t << '"' + button->text() + '"';
    if (auto *box = qobject_cast<QCheckBox *>(w))
        t << QString("state %1").arg(box->checkState());
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        t << '"' + edit->text() + '"';
    if (auto *band = qobject_cast<QRubberBand *>(w))
        t << QString("shape %1 in %2").arg(band->shape()).arg(band->parentWidget()->objectName());
    if (w->autoFillBackground())
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            t << "background " + w->palette().color(group, QPalette::Window).name();
    if (w->sizePolicy() != QSizePolicy())
        t << QString("policy %1/%2").arg(w->sizePolicy().horizontalPolicy()).arg(w->sizePolicy().verticalPolicy());
    if (!w->styleSheet().isEmpty())
        t << "style \"" + w->styleSheet() + '"';
    return t.join(' ');
}

// The window as a user meets it, and its class's signals and slots in order;
// without the places of things, what stays when the window changes size.
QString dumpText(QWidget *window, bool places = true)
{
    QStringList lines{QString("window \"%1\"").arg(window->windowTitle()), "layout " + layoutText(window->layout())};
    if (places)
        lines[0] += " at " + geometry({window->pos(), window->size()});
    for (QWidget *w : window->findChildren<QWidget *>())
        lines << widgetText(w, window, places);
    const QMetaObject *mo = window->metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        lines << QString("%1 %2 %3").arg(mo->method(i).methodType() == QMetaMethod::Signal ? "signal" : "slot",
                                         mo->method(i).typeName(), mo->method(i).methodSignature());
    return lines.join('\n');
}

QByteArray pictureBytes(QWidget *window)
{
    const QImage image = window->findChild<QLabel *>(QStringLiteral("imageLabel"))->pixmap().toImage();
    return QByteArray(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
}

void sendMouse(QWidget *window, QEvent::Type type, const QPointF &at, Qt::MouseButton button)
{
    const QPointF local = window->findChild<QLabel *>(QStringLiteral("imageLabel"))->mapTo(window, at);
    QMouseEvent event(type, local, local, window->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

class Hook : public QObject
{
public:
    Hook() : actions_(qEnvironmentVariable("TIVREL_HOOK_ACTIONS").split('\n', Qt::SkipEmptyParts))
    {
        qApp->installEventFilter(this);
        connect(&timer_, &QTimer::timeout, this, &Hook::step);
        timer_.start(10);
        clock_.start();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->inherits("MyWidget") && !shown_) {
            shown_ = true;
            say(QStringLiteral("window shown"));
        }
        return false;
    }

private:
    static QWidget *window()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->inherits("MyWidget") && w->isVisible())
                return w;
        return nullptr;
    }

    // One action per tick: an answer waits for its dialog, a window action
    // for the window free of dialogs; file actions are done at once.
    void step()
    {
        if (next_ == actions_.size() || clock_.elapsed() < resumeAt_)
            return;
        const QString action = actions_[next_], verb = action.section(' ', 0, 0), rest = action.section(' ', 1);
        const QStringList args = rest.split(' ', Qt::SkipEmptyParts);
        QWidget *modal = QApplication::activeModalWidget();
        if (verb == "open" || verb == "name" || verb == "cancel") {
            if (!modal || !modal->isVisible())
                return;
            ++next_;
            return answer(modal, verb, rest);
        }
        if (verb == "copy" || verb == "remove" || verb == "cut" || verb == "chmod" || verb == "wait" || verb == "kill") {
            ++next_;
            return fileAction(verb, args);
        }
        QWidget *w = window();
        if (!w || modal)
            return;
        ++next_;
        QTimer::singleShot(0, w, [this, w, verb, args, rest]() { windowAction(w, verb, args, rest); });
        if (verb == "key")
            resumeAt_ = clock_.elapsed() + 400; // a mnemonic clicks its button after a flash
    }

    static void answer(QWidget *modal, const QString &verb, const QString &text)
    {
        auto *files = qobject_cast<QFileDialog *>(modal);
        auto *input = qobject_cast<QInputDialog *>(modal);
        if (files)
            say(QString("open-file dialog \"%1\" in %2 offering %3")
                    .arg(files->windowTitle(), relative(files->directory().absolutePath()), files->nameFilters().join(";;")));
        if (input)
            say(QString("text dialog \"%1\" \"%2\" offering \"%3\"").arg(input->windowTitle(), input->labelText(),
                                                                          input->textValue()));
        auto *dialog = qobject_cast<QDialog *>(modal);
        if (verb == "cancel" || !dialog) {
            modal->close();
            return;
        }
        if (files)
            files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(text).absoluteFilePath());
        if (input)
            input->setTextValue(text);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection); // protected in QFileDialog
    }

    void fileAction(const QString &verb, const QStringList &args)
    {
        if (verb == "copy") {
            QFile from(args[0]), to(args[1]);
            QDir().mkpath(QFileInfo(args[1]).path());
            if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly) || to.write(from.readAll()) < 0)
                say("cannot copy " + args.join(' '));
        } else if (verb == "remove") {
            QFile::remove(args[0]);
        } else if (verb == "cut") {
            const qint64 n = args[1].toLongLong();
            QFile::resize(args[0], n < 0 ? QFileInfo(args[0]).size() + n : n);
        } else if (verb == "chmod") {
            ::chmod(QFile::encodeName(args[1]).constData(), args[0].toUInt(nullptr, 8));
        } else if (verb == "wait") {
            resumeAt_ = clock_.elapsed() + args[0].toInt();
        } else {
            std::raise(SIGKILL);
        }
    }

    void windowAction(QWidget *w, const QString &verb, const QStringList &args, const QString &rest)
    {
        auto *widget = w->findChild<QWidget *>(args.value(0));
        if ((verb == "click" || verb == "type") && (!widget || !widget->isVisibleTo(w)))
            return say(args.value(0) + " is not on show");
        if (verb == "click") {
            qobject_cast<QAbstractButton *>(widget)->click();
        } else if (verb == "type") {
            qobject_cast<QLineEdit *>(widget)->clear();
            QTest::keyClicks(widget, rest.section(' ', 1));
        } else if (verb == "key") {
            w->activateWindow();
            QTimer::singleShot(50, w, [w, key = args[0][0].toLatin1()]() { QTest::keyClick(w, key, Qt::AltModifier); });
        } else if (verb == "box") {
            const Qt::MouseButton button = args.value(4) == "right" ? Qt::RightButton
                                         : args.value(4) == "middle" ? Qt::MiddleButton : Qt::LeftButton;
            const QPointF from(args[0].toDouble(), args[1].toDouble()), to(args[2].toDouble(), args[3].toDouble());
            sendMouse(w, QEvent::MouseButtonPress, from, button);
            sendMouse(w, QEvent::MouseMove, to, button);
            sendMouse(w, QEvent::MouseButtonRelease, to, button);
        } else if (verb == "drop") {
            drop(w, args);
        } else if (verb == "close") {
            w->close();
        } else if (verb == "show") {
            QStringList hidden;
            for (QWidget *child : w->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
                if (!child->objectName().isEmpty() && !child->isVisibleTo(w))
                    hidden << child->objectName();
            auto *band = w->findChild<QRubberBand *>();
            say(QString("view: file \"%1\", hint \"%2\", band %3, hidden: %4")
                    .arg(w->findChild<QLabel *>("fileNameLabel")->text(), w->findChild<QLabel *>("hintLabel")->text(),
                         band->isVisible() ? geometry(band->geometry()) : "hidden", hidden.isEmpty() ? "none" : hidden.join(' ')));
        } else if (verb == "dump") {
            dumped_ = dumpText(w, false);
            picture_ = pictureBytes(w);
            say(dumpText(w));
        } else if (verb == "same") {
            say(dumpText(w, false) == dumped_ && pictureBytes(w) == picture_ ? "as at the last dump" : "NOT as at the last dump");
        } else {
            say("unknown action " + verb);
        }
    }

    static void drop(QWidget *w, const QStringList &items)
    {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString &item : items)
            urls << (item.contains("://") ? QUrl(item) : QUrl::fromLocalFile(QFileInfo(item).absoluteFilePath()));
        if (items.isEmpty())
            mime.setText(QStringLiteral("text"));
        else
            mime.setUrls(urls);
        const QPoint at = w->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &enter);
        QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w, &drop);
        say(QString("drag %1, drop %2").arg(enter.isAccepted() ? "accepted" : "refused", drop.isAccepted() ? "accepted" : "refused"));
    }

    QStringList actions_;
    qsizetype next_ = 0;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 resumeAt_ = 0;
    bool shown_ = false;
    QString dumped_;
    QByteArray picture_;
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
