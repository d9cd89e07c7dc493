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
#include <QProcess>
#include <QRubberBand>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace {

void say(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

QString place(const QRect &r) { return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

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

// The window as a user meets it, a line per widget (name, class, place,
// visibility, texts, colours, frame, size policy, style), and its class's
// signals and slots in order; without the places of things, what stays when
// the window changes size.
QString dumpText(QWidget *window, bool places = true)
{
    QStringList lines{QString("window \"%1\"").arg(window->windowTitle()) + (places ? " at " + place({window->pos(), window->size()}) : ""),
                      "layout " + layoutText(window->layout())};
    for (QWidget *w : window->findChildren<QWidget *>()) {
        QStringList t{w->objectName().isEmpty() ? QStringLiteral("-") : w->objectName(), w->metaObject()->className()};
        if (places)
            t << place(w->geometry());
        if (!w->isVisibleTo(window))
            t << "hidden";
        if (auto *label = qobject_cast<QLabel *>(w)) {
            t << '"' + label->text() + '"';
            if (!label->pixmap().isNull())
                t << "picture " + place(label->pixmap().rect()).section(' ', 1);
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
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            if (w->autoFillBackground())
                t << "background " + w->palette().color(group, QPalette::Window).name();
        if (w->sizePolicy() != QSizePolicy())
            t << QString("policy %1/%2").arg(w->sizePolicy().horizontalPolicy()).arg(w->sizePolicy().verticalPolicy());
        if (!w->styleSheet().isEmpty())
            t << "style \"" + w->styleSheet() + '"';
        lines << t.join(' ');
    }
    const QMetaObject *mo = window->metaObject();
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i)
        lines << QString("%1 %2 %3").arg(mo->method(i).methodType() == QMetaMethod::Signal ? "signal" : "slot",
                                         mo->method(i).typeName(), mo->method(i).methodSignature());
    return lines.join('\n');
}

// A label's new text reaches the layout through a posted event: the
// geometry is settled before it is read.
QString settledDump(QWidget *window, bool places)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    return dumpText(window, places);
}

QString pictureHash(QWidget *window)
{
    const QImage image = window->findChild<QLabel *>(QStringLiteral("imageLabel"))->pixmap().toImage();
    return QString::number(qHashBits(image.constBits(), size_t(image.sizeInBytes())));
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
        if (event->type() == QEvent::Show && watched->inherits("MyWidget") && !shown_)
            say(QStringLiteral("window shown")), shown_ = true;
        return false;
    }

private:
    // One action per tick: an answer waits for its dialog, a window action
    // for the window, free of dialogs; file actions are done at once. After
    // 10 s of free ticks without an action to do, or still running after the
    // last one, the program is stuck: the run ends with status 97.
    void step()
    {
        if (clock_.elapsed() < resumeAt_)
            return;
        const qsizetype done = next_;
        if (next_ < actions_.size())
            act();
        idle_ = next_ == done ? idle_ + 1 : 0;
        if (idle_ > 1000) {
            say(next_ < actions_.size() ? "waited in vain to: " + actions_[next_] : "still running after the last action");
            std::_Exit(97);
        }
    }

    void act()
    {
        const QString verb = actions_[next_].section(' ', 0, 0), rest = actions_[next_].section(' ', 1);
        const QStringList args = rest.split(' ', Qt::SkipEmptyParts);
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        QWidget *window = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            window = w->inherits("MyWidget") && w->isVisible() ? w : window;
        if (verb == "open" || verb == "name" || verb == "cancel") {
            if (modal && modal->isVisible())
                ++next_, answer(modal, verb, rest);
        } else if (QStringList{"copy", "remove", "cut", "chmod", "chattr", "wait", "kill"}.contains(verb)) {
            ++next_, fileAction(verb, args);
        } else if (window && !modal) { // posted, as a dialog it opens waits in its own event loop
            ++next_;
            QTimer::singleShot(0, window, [this, window, verb, args]() { windowAction(window, verb, args); });
            if (verb == "key")
                resumeAt_ = clock_.elapsed() + 400; // a mnemonic clicks its button after a flash
        }
    }

    static void answer(QDialog *dialog, const QString &verb, const QString &text)
    {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        auto *input = qobject_cast<QInputDialog *>(dialog);
        if (files)
            say(QString("open-file dialog \"%1\" in %2 offering %3")
                    .arg(files->windowTitle(), QDir::current().relativeFilePath(files->directory().absolutePath()),
                         files->nameFilters().join(";;"))
                    .replace(" in  offering", " in . offering"));
        if (input)
            say(QString("text dialog \"%1\" \"%2\" offering \"%3\"").arg(input->windowTitle(), input->labelText(), input->textValue()));
        if (verb == "cancel")
            return dialog->reject();
        if (files)
            files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(QFileInfo(text).absoluteFilePath());
        if (input)
            input->setTextValue(text);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection); // protected in QFileDialog
    }

    void fileAction(const QString &verb, const QStringList &args)
    {
        if (verb == "copy") { // the target keeps its inode, as an editor saving over it would
            QFile from(args[0]), to(args[1]);
            if (!from.open(QIODevice::ReadOnly) || !to.open(QIODevice::WriteOnly) || to.write(from.readAll()) < 0)
                say("cannot copy " + args.join(' '));
        } else if (verb == "remove") {
            QFile::remove(args[0]);
        } else if (verb == "cut") {
            QFile::resize(args[0], args[1].toLongLong() + (args[1].startsWith('-') ? QFileInfo(args[0]).size() : 0));
        } else if (verb == "chmod") {
            ::chmod(QFile::encodeName(args[1]).constData(), args[0].toUInt(nullptr, 8));
        } else if (verb == "chattr") { // +i: a folder where not even root may add a file
            if (QProcess::execute("chattr", args) != 0)
                say("cannot chattr " + args.join(' '));
        } else if (verb == "wait") {
            resumeAt_ = clock_.elapsed() + args[0].toInt();
        } else {
            std::raise(SIGKILL);
        }
    }

    void windowAction(QWidget *w, const QString &verb, const QStringList &args)
    {
        auto *widget = w->findChild<QWidget *>(args.value(0));
        if (verb == "click" && (!widget || !widget->isVisibleTo(w)))
            return say(args.value(0) + " is not on show");
        if (verb == "click") {
            qobject_cast<QAbstractButton *>(widget)->click();
        } else if (verb == "key") {
            w->activateWindow();
            QTimer::singleShot(50, w, [w, key = args[0][0].toLatin1()]() { QTest::keyClick(w, key, Qt::AltModifier); });
        } else if (verb == "box") {
            const Qt::MouseButton button = args.value(4) == "right" ? Qt::RightButton : args.value(4) == "middle" ? Qt::MiddleButton : Qt::LeftButton;
            using Step = std::tuple<QEvent::Type, QString, QString>;
            for (const auto &[type, x, y] : {Step{QEvent::MouseButtonPress, args[0], args[1]}, Step{QEvent::MouseMove, args[2], args[3]},
                                             Step{QEvent::MouseButtonRelease, args[2], args[3]}}) {
                const QPointF at = w->findChild<QLabel *>(QStringLiteral("imageLabel"))->mapTo(w, QPointF(x.toDouble(), y.toDouble()));
                QMouseEvent event(type, at, at, w->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
                QApplication::sendEvent(w, &event);
            }
        } else if (verb == "drop" || verb == "drop-removed") { // drop-removed: the files go while dragged
            QMimeData mime;
            QList<QUrl> urls;
            for (const QString &item : args)
                urls << (item.contains("://") ? QUrl(item) : QUrl::fromLocalFile(QFileInfo(item).absoluteFilePath()));
            args.isEmpty() ? mime.setText(QStringLiteral("text")) : mime.setUrls(urls);
            QDragEnterEvent enter(w->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(w->rect().center(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(w, &enter);
            if (verb == "drop-removed")
                for (const QString &item : args)
                    QFile::remove(item);
            QApplication::sendEvent(w, &drop);
            say(QString("drag %1, drop %2").arg(enter.isAccepted() ? "accepted" : "refused", drop.isAccepted() ? "accepted" : "refused"));
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
                         band->isVisible() ? place(band->geometry()) : "hidden", hidden.isEmpty() ? "none" : hidden.join(' ')));
        } else if (verb == "dump") {
            dumped_ = settledDump(w, false) + pictureHash(w);
            say(dumpText(w));
        } else if (verb == "same") {
            say(settledDump(w, false) + pictureHash(w) == dumped_ ? "as at the last dump" : "NOT as at the last dump");
        } else {
            say("unknown action " + verb);
        }
    }

    QStringList actions_;
    qsizetype next_ = 0;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 resumeAt_ = 0;
    int idle_ = 0;
    bool shown_ = false;
    QString dumped_;
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
