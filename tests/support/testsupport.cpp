#include "testsupport.h"

#include "app/state.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstring>
#include <memory>

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(bytes);
    f.close();
    return QFileInfo(path).absoluteFilePath();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QByteArray logText()
{
    error_stream.flush();
    return readFile(QStringLiteral("Tivrel_log.txt"));
}

namespace {

// Calls `act` on the first active modal widget of type T, polling briefly,
// then arms a watchdog that rejects whatever modal widget is left.
template <typename T>
void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries]() {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
            // Watchdog: nothing may stay open (a "file not found" box, say).
            QTimer::singleShot(2000, []() {
                while (QWidget *w = QApplication::activeModalWidget()) {
                    if (auto *d = qobject_cast<QDialog *>(w))
                        d->reject();
                    else
                        w->close();
                }
            });
        } else if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            qWarning("no modal dialog appeared");
        }
    });
    timer->start(10);
}

} // namespace

void answerFileDialog(const QString &path)
{
    whenModal<QFileDialog>([path](QFileDialog *dialog) {
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            edit->setText(path);
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
}

void answerTextDialog(const QString &text, bool accept, QString *seen)
{
    whenModal<QInputDialog>([text, accept, seen](QInputDialog *dialog) {
        if (seen)
            *seen = dialog->textValue();
        if (!accept) {
            dialog->reject();
            return;
        }
        dialog->setTextValue(text);
        dialog->accept();
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

void resetProgramState()
{
    Value_list.clear();
    Pos_list.clear();
    Value_list2.clear();
    Pos_list2.clear();
    Start_index.clear();
    End_index.clear();
    Start_value.clear();
    End_value.clear();
    Color_value.clear();
    Tag.clear();
    Start_offset.clear();
    minX = -1;
    maxX = 0;
    minY = maxY = 0;
    realMinX = realMaxX = 0;
    realMaxY = 0;
    pixPerX = pixPerY = 0;
    GLOBAL_minX = GLOBAL_maxX = 0;
    GLOBAL_pixPerX = GLOBAL_pixPerY = 0;
    globaltimes = 0;
    fwidth = fheight = 0;
    ymargin = 0;
    globaldisplay = 1;
    selected_chromosome = -1;
    stripes = 0;
    line = 0;
    std::memset(filename, 0, sizeof filename);
    std::memset(shortname, 0, sizeof shortname);
    std::memset(defaultname, 0, sizeof defaultname);
    std::strcpy(defaultname, "file");
    dataFilePath.clear();
}

void onFileDialog(const std::function<void(QFileDialog *)> &act)
{
    whenModal<QFileDialog>(act);
}

void acceptFileDialog(QFileDialog *dialog, const QString &path)
{
    if (path.isEmpty()) {
        dialog->reject();
        return;
    }
    if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        edit->setText(path);
    QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
}
