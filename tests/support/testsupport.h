// Shared helpers of the test programs and the benchmark: files, compressed
// bytes, the log, a mouse drag over the plot, and answers to the program's
// modal dialogs.
#pragma once

#include <QByteArray>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QWidget;

// The texts every log and every saved data file start with.
inline const QByteArray kLogHeader = "Tivrel 0.1 by Ruvetti\n\n";
inline const QByteArray kSaveHeader = "Chr\tPosition\tP\t-log10(P)\n";

// Writes bytes to a file; returns its absolute path.
QString writeFile(const QString &path, const QByteArray &bytes);

// The whole content of a file ("" when it cannot be read).
QByteArray readFile(const QString &path);

// The bytes as gzip writes them; and as bgzip does, with a block ending
// after every `blockSize` bytes (0: bgzip's own blocks of about 64 KiB).
QByteArray gzipped(const QByteArray &bytes);
QByteArray bgzipped(const QByteArray &bytes, int blockSize = 0);
// The bytes as the zstd tool writes them (one frame, with its checksum).
QByteArray zstdCompressed(const QByteArray &bytes);

// The log file of the working directory, after flushing the log stream.
QByteArray logText();

// Presses, drags and releases the mouse on the window, the points given in
// the plot label's coordinates. Fractional points reach the window as they
// are, as from a tablet or a scaled screen.
void drag(QWidget *window, QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton);

// Answers the modal dialogs that open while it lives, in turn: an open-file
// dialog with a path, a text dialog with a text; an empty path or a null
// text cancels. `before` runs just before each answer.
class DialogAnswers
{
public:
    explicit DialogAnswers(const QStringList &answers, std::function<void()> before = {});

private:
    QStringList answers_;
    std::function<void()> before_;
    QTimer timer_;
};
