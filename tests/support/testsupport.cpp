#include "testsupport.h"

#include "app/state.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <htslib/bgzf.h>

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

QByteArray logText()
{
    error_stream.flush();
    return readFile(QStringLiteral("Tivrel_log.txt"));
}

// Nothing may stay open after a dialog was answered (a "file not found" box,
// say): rejects every modal widget left.
static void closeModalWidgets()
{
    while (QWidget *w = QApplication::activeModalWidget()) {
        if (auto *d = qobject_cast<QDialog *>(w))
            d->reject();
        else
            w->close();
    }
}

// Calls `act` on the first active modal widget of type T, polling every 10 ms
// for up to 500 tries, then arms a watchdog that closes whatever is left.
template <typename T>
static void whenModal(std::function<void(T *)> act)
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
        act(dialog);
        QTimer::singleShot(2000, closeModalWidgets);
    });
    timer->start(10);
}

void onFileDialog(const std::function<void(QFileDialog *)> &act) { whenModal<QFileDialog>(act); }

void answerFileDialog(const QString &path) { onFileDialog([path](QFileDialog *d) { acceptFileDialog(d, path); }); }

void answerTextDialog(const QString &text, bool accept, QString *seen)
{
    whenModal<QInputDialog>([text, accept, seen](QInputDialog *dialog) {
        if (seen)
            *seen = dialog->textValue();
        dialog->setTextValue(text); // unread when the dialog is cancelled
        dialog->done(accept ? QDialog::Accepted : QDialog::Rejected);
    });
}

void inTemporaryWorkingDirectory(const std::function<void(const QString &dir)> &work)
{
    QTemporaryDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(dir.path());
    work(dir.path());
    QDir::setCurrent(old);
}


void acceptFileDialog(QFileDialog *dialog, const QString &path)
{
    if (path.isEmpty())
        return dialog->reject();
    if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection); // protected in QFileDialog
}
