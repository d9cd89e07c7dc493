#include "testsupport.h"

#include "app/state.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <htslib/bgzf.h>
#include <zstd.h>

#include <cstring>

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return QFileInfo(path).absoluteFilePath();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

static QByteArray compressed(const QByteArray &bytes, const char *mode, int blockSize)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("c.gz")));
    BGZF *out = bgzf_open(path.constData(), mode);
    const qsizetype step = blockSize > 0 ? blockSize : qMax<qsizetype>(bytes.size(), 1);
    for (qsizetype at = 0; out && at < bytes.size(); at += step) {
        const qsizetype n = qMin(step, bytes.size() - at);
        if (bgzf_write(out, bytes.constData() + at, size_t(n)) != n || (blockSize > 0 && bgzf_flush(out) != 0))
            qFatal("cannot compress");
    }
    if (!out || bgzf_close(out) != 0)
        qFatal("cannot compress");
    return readFile(QString::fromLocal8Bit(path));
}

QByteArray gzipped(const QByteArray &bytes)
{
    return compressed(bytes, "wg1", 0);
}

QByteArray bgzipped(const QByteArray &bytes, int blockSize)
{
    return compressed(bytes, "w1", blockSize);
}

QByteArray zstdCompressed(const QByteArray &bytes)
{
    ZSTD_CCtx *context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    QByteArray packed(qsizetype(ZSTD_compressBound(size_t(bytes.size()))), '\0');
    const size_t size =
        ZSTD_compress2(context, packed.data(), size_t(packed.size()), bytes.constData(), size_t(bytes.size()));
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(size))
        qFatal("cannot compress");
    packed.resize(qsizetype(size));
    return packed;
}

QByteArray logText()
{
    error_stream.flush();
    return readFile(QStringLiteral("Tivrel_log.txt"));
}

void inTemporaryWorkingDirectory(const std::function<void(const QString &dir)> &work)
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    work(dir.path());
    QDir::setCurrent(old);
}

void useScreen(int width, int height)
{
    static QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    writeFile(config, QStringLiteral(R"({"screens":[{"name":"S","x":0,"y":0,"width":%1,"height":%2,)"
                                     R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})")
                          .arg(width).arg(height).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
}

QPointF pixelAt(double position, double value)
{
    // An axis without spread is drawn from one unit below its area.
    const double originX = minX == maxX ? minX - 1.0 : minX, originY = minY == maxY ? minY - 1 : minY;
    return QPointF((position - originX) * pixPerX, fheight - ymargin - (value - originY) * pixPerY);
}

QWidget *widgetOf(QWidget *window, const char *name)
{
    if (auto *found = window->findChild<QWidget *>(QLatin1String(name)))
        return found;
    qFatal("no widget %s", name);
}

QLabel *imageLabelOf(QWidget *window)
{
    return qobject_cast<QLabel *>(widgetOf(window, "imageLabel"));
}

namespace {

void sendMouse(QWidget *window, QEvent::Type type, QPointF labelPoint, Qt::MouseButton button)
{
    const QPointF local = imageLabelOf(window)->mapTo(window, labelPoint);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, local, local, window->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : button,
                      held, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

} // namespace

void drag(QWidget *window, QPointF from, QPointF to, Qt::MouseButton button)
{
    sendMouse(window, QEvent::MouseButtonPress, from, button);
    sendMouse(window, QEvent::MouseMove, to, button);
    sendMouse(window, QEvent::MouseButtonRelease, to, button);
}

void click(QWidget *window, const char *name)
{
    auto *button = qobject_cast<QPushButton *>(widgetOf(window, name));
    if (!button || !button->isVisibleTo(window))
        qFatal("button %s is not on show", name);
    button->click();
}

void altKey(QWidget *window, char key)
{
    // Shortcuts reach only the active window.
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        qWarning("window not active");
    // A mnemonic clicks its button 100 ms later, after a flash: wait for it.
    QPushButton *target = nullptr;
    for (auto *button : window->findChildren<QPushButton *>())
        if (button->isVisibleTo(window) && button->text().contains(QStringLiteral("&") + QLatin1Char(key), Qt::CaseInsensitive))
            target = button;
    if (!target)
        return QTest::keyClick(window, key, Qt::AltModifier);
    QSignalSpy clicked(target, &QPushButton::clicked);
    QTest::keyClick(window, key, Qt::AltModifier);
    if (clicked.isEmpty() && !clicked.wait(1000))
        qWarning("Alt+%c clicked nothing", key);
}

namespace {

// Closes the dialog and whatever modal widget it opened, if still open.
void closeLeftOver(QPointer<QDialog> dialog)
{
    if (!dialog || !dialog->isVisible())
        return;
    while (QWidget *w = QApplication::activeModalWidget()) {
        if (w == dialog || !dialog->isAncestorOf(w)) {
            dialog->reject();
            return;
        }
        w->close();
    }
}

template <typename T>
void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries = 0]() mutable {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!dialog && ++tries <= 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (!dialog)
            return qWarning("no modal dialog appeared");
        QPointer<QDialog> watched(dialog);
        act(dialog);
        QTimer::singleShot(2000, [watched]() { closeLeftOver(watched); });
    });
    timer->start(10);
}

} // namespace

void onFileDialog(const std::function<void(QFileDialog *)> &act) { whenModal<QFileDialog>(act); }

void answerFileDialog(const QString &path)
{
    onFileDialog([path](QFileDialog *d) { acceptFileDialog(d, path); });
}

void acceptFileDialog(QFileDialog *dialog, const QString &path)
{
    if (path.isEmpty())
        return dialog->reject();
    if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection); // protected in QFileDialog
}

void onTextDialog(const std::function<void(QInputDialog *)> &act) { whenModal<QInputDialog>(act); }

void answerTextDialog(const QString &text, bool accept, QString *seen)
{
    onTextDialog([text, accept, seen](QInputDialog *dialog) {
        if (seen)
            *seen = dialog->textValue();
        dialog->setTextValue(text); // unread when the dialog is cancelled
        dialog->done(accept ? QDialog::Accepted : QDialog::Rejected);
    });
}

TextDialogAnswers::TextDialogAnswers(const QStringList &answers) : answers_(answers)
{
    QObject::connect(&timer_, &QTimer::timeout, [this]() {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) // an answered dialog is hidden at once, so each is seen once
            return;
        asked.append({dialog->windowTitle(), dialog->labelText(), dialog->textValue()});
        const QString answer = answers_.value(asked.size() - 1);
        dialog->setTextValue(answer);
        dialog->done(answer.isNull() ? QDialog::Rejected : QDialog::Accepted);
    });
    timer_.start(10);
}

QStringList hiddenWidgets(QWidget *window)
{
    QStringList hidden;
    for (QWidget *w : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->objectName().isEmpty() && !w->isVisibleTo(window))
            hidden << w->objectName();
    hidden.sort();
    return hidden;
}
