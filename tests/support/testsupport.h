// Shared helpers of the test programs: temporary files and directories,
// driving the program's modal dialogs from a timer, reading the log.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QFileDialog;

// Writes bytes to a file; returns its absolute path.
QString writeFile(const QString &path, const QByteArray &bytes);

// The whole content of a file ("" when it cannot be read).
QByteArray readFile(const QString &path);

// The bytes as gzip writes them; and as bgzip does, with a block ending
// after every `blockSize` bytes (0: bgzip's own blocks of about 64 KiB).
QByteArray gzipped(const QByteArray &bytes);
QByteArray bgzipped(const QByteArray &bytes, int blockSize = 0);

// The log file of the working directory, after flushing the log stream.
QByteArray logText();

// Answers the next open-file dialog with the given path (an empty path
// cancels it). A watchdog rejects any modal widget still open afterwards.
void answerFileDialog(const QString &path);

// Answers the next text input dialog with the given text, or cancels it when
// `accept` is false. `seen` (if given) receives the text the dialog offered.
void answerTextDialog(const QString &text, bool accept = true, QString *seen = nullptr);

// Runs `work` in a fresh working directory (a QTemporaryDir), restoring the
// old one afterwards.
void inTemporaryWorkingDirectory(const std::function<void(const QString &dir)> &work);


// Hands the next open-file dialog to `act`, which must close it (for example
// with acceptFileDialog), so a test can look at the dialog first. The same
// watchdog as answerFileDialog follows.
void onFileDialog(const std::function<void(QFileDialog *)> &act);

// Types the path into an open-file dialog and accepts it; an empty path
// cancels it.
void acceptFileDialog(QFileDialog *dialog, const QString &path);
