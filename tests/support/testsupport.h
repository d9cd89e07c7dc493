// Shared helpers of the test programs and the benchmark: files and the log,
// the user's hands on the window (drag, click, Alt keys), driving the
// program's modal dialogs from a timer, and the program's start-up state.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QFileDialog;
class QInputDialog;
class QLabel;
class QPushButton;
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

// Gives the offscreen platform one screen of this size; call before the
// application object is made (tests whose rows name pixels use it).
void useScreen(int width, int height);

// Runs `work` in a fresh working directory (a QTemporaryDir), restoring the
// old one afterwards.
void inTemporaryWorkingDirectory(const std::function<void(const QString &dir)> &work);

// --- The window, as a user reaches it -----------------------------------

// The named child widget of the window; the test stops when there is none.
QWidget *widgetOf(QWidget *window, const char *name);
QLabel *imageLabelOf(QWidget *window);

// Presses, drags and releases the mouse on the window, the points given in
// the plot label's coordinates. Fractional points reach the window as they
// are, as from a tablet or a scaled screen.
void drag(QWidget *window, QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton);

// The plot label's point over a position and a score, by the geometry of the
// plot on show (Pos_list's layout), so boxes are given in data units.
QPointF pixelAt(double position, double value);

// Clicks a push button of the window with the mouse, as a user would: the
// test stops if the button is hidden, since no user could reach it.
void click(QWidget *window, const char *button);

// Presses Alt and a key on the window: a button's mnemonic. Returns once
// the button on show with that mnemonic, if any, has been clicked.
void altKey(QWidget *window, char key);

// --- Modal dialogs, answered from a timer --------------------------------
// Each driver polls for the dialog for up to 5 s; once it has answered, a
// watchdog closes that dialog and anything it opened (a "file not found"
// box, say) should it still be open 2 s later.

// Hands the next open-file dialog to `act`, which must close it (for
// example with acceptFileDialog), so a test can look at the dialog first.
void onFileDialog(const std::function<void(QFileDialog *)> &act);

// Answers the next open-file dialog with the given path (an empty path
// cancels it).
void answerFileDialog(const QString &path);

// Types the path into an open-file dialog and accepts it; an empty path
// cancels it.
void acceptFileDialog(QFileDialog *dialog, const QString &path);

// Hands the next text input dialog to `act`, which must close it.
void onTextDialog(const std::function<void(QInputDialog *)> &act);

// Answers the next text input dialog with the given text, or cancels it when
// `accept` is false. `seen` (if given) receives the text the dialog offered.
void answerTextDialog(const QString &text, bool accept = true, QString *seen = nullptr);

// Answers every text input dialog that opens while it lives, in turn, with
// the given answers (a null answer, or none left, cancels), and records each
// dialog's title, label and offered text.
class TextDialogAnswers
{
public:
    explicit TextDialogAnswers(const QStringList &answers = {});
    void add(const QString &answer) { answers_.append(answer); }
    QList<QStringList> asked;

private:
    QStringList answers_;
    QTimer timer_;
};

// The names of the window's own widgets that are hidden, sorted.
QStringList hiddenWidgets(QWidget *window);
