#include "testsupport.h"

#include "app/state.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <htslib/bgzf.h>
#include <zstd.h>

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

QByteArray gzipped(const QByteArray &bytes) { return compressed(bytes, "wg1", 0); }

QByteArray bgzipped(const QByteArray &bytes, int blockSize) { return compressed(bytes, "w1", blockSize); }

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

void drag(QWidget *window, QPointF from, QPointF to, Qt::MouseButton button)
{
    const auto send = [&](QEvent::Type type, QPointF at) {
        const QPointF local = window->findChild<QLabel *>(QStringLiteral("imageLabel"))->mapTo(window, at);
        QMouseEvent event(type, local, local, window->mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : button,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
        QApplication::sendEvent(window, &event);
    };
    send(QEvent::MouseButtonPress, from);
    send(QEvent::MouseMove, to);
    send(QEvent::MouseButtonRelease, to);
}

DialogAnswers::DialogAnswers(const QStringList &answers, std::function<void()> before)
    : answers_(answers), before_(std::move(before))
{
    QObject::connect(&timer_, &QTimer::timeout, [this]() {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || answers_.isEmpty()) // an answered dialog hides at once
            return;
        const QString answer = answers_.takeFirst();
        if (before_)
            before_();
        auto *files = qobject_cast<QFileDialog *>(dialog);
        auto *input = qobject_cast<QInputDialog *>(dialog);
        if (files && !answer.isEmpty()) {
            files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(answer);
            QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection); // protected in QFileDialog
        } else if (input && !answer.isNull()) {
            input->setTextValue(answer);
            input->done(QDialog::Accepted);
        } else {
            dialog->reject();
        }
    });
    timer_.start(10);
}
