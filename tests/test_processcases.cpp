// The real program (build/tivrel, main unchanged) run in a child process in
// a fresh working directory, one run per tests/cases/process/NAME.case. A Qt
// plugin that the program loads through the environment (support/
// testhook.cpp) does what the case's actions say, as a user would.
//
// A case file (lines and escapes: support/casefile.h):
//   # what the case shows
//   args: --x ""          the command line, split at blanks ("": an empty one)
//   env: NAME=VALUE       set (or "env: -NAME": unset) for the program
//   user: nobody          run as nobody when root, so permissions apply
//   limit: BYTES          no file may grow past BYTES (a write past it fails)
//   [data NAME FORM...]   a file written before the run: FORM gzip, bgzip
//                         [BLOCK], or cut N (its first N bytes; N < 0: all but
//                         the last -N); NAME/ a folder; FORM fifo a named pipe
//   [actions]             one a line, done in turn:
//     open PATH | name TEXT | cancel   answer the next open-file / text dialog
//     click NAME                       a button or check box
//     key C                            Alt and C on the window
//     box X1 Y1 X2 Y2 [right|middle]   a mouse drag over the plot (pixels)
//     drop [PATH|URL...]               files dropped (none: a text)
//     drop-removed PATH...             dropped, the files removed while dragged
//     show | dump | same               the view in a line / every widget /
//                                      whether all is as at the last dump
//     close | kill | wait MS           the window closed / SIGKILL / a pause
//     copy FROM TO | remove PATH | cut PATH N | chmod MODE PATH
//     chattr +i|-i PATH                a folder made immutable, or no more
//   Stuck 10 s waiting for an action's dialog or window, or still running
//   after the last action, the plugin ends the run with status 97.
//   [status]  ... then what the run gave: the exit status ("crashed" for a
//   signal), [stdout] (the plugin's lines among the program's), [stderr]
//   (without Qt's own remarks), [log], every file made ([saved NAME]: its
//   bytes, or "image WxH" for a PNG), and every [data] file changed (its
//   text, or size) or removed.
//
//   test_processcases --update   adds what the run gave to each case that
//                                has no [status]; review it by hand.
#include "support/casefile.h"
#include "support/testsupport.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void writeInputs(const CaseFile &c, const QString &work)
{
    for (const CaseSection &s : c.sections) {
        const QString path = work + '/' + QString::fromUtf8(s.args.value(0));
        if (s.name == "data" && QDir().mkpath(path.endsWith('/') ? path : QFileInfo(path).path()) && !path.endsWith('/')
            && !(s.args.value(1) == "fifo" && mkfifo(qPrintable(path), 0644) == 0)) {
            QByteArray bytes = caseBytes(s.lines);
            for (qsizetype i = 1; i < s.args.size(); ++i) {
                const int n = s.args.value(i + 1).toInt();
                bytes = s.args[i] == "gzip" ? gzipped(bytes) : s.args[i] == "bgzip" ? bgzipped(bytes, n)
                      : s.args[i] == "cut" ? (n < 0 ? bytes.chopped(-n) : bytes.first(n)) : bytes;
            }
            writeFile(path, bytes);
        }
    }
}

// Every file under the folder by its relative path, with its bytes.
QMap<QString, QByteArray> filesUnder(const QString &folder)
{
    QMap<QString, QByteArray> files;
    for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
        const QString path = it.next();
        files[QDir(folder).relativeFilePath(path)] = readFile(path);
    }
    return files;
}

QByteArray section(const QByteArray &name, const QByteArray &bytes) { return '[' + name + "]\n" + caseText(bytes); }

} // namespace

class ProcessCasesTest : public QObject
{
    Q_OBJECT
private slots:
    void cases_data() { addCaseRows(TIVREL_CASES_DIR "/process"); }

    void cases()
    {
        QFETCH(QString, file);
        const QByteArray text = readFile(file);
        const qsizetype split = text.indexOf("\n[status]\n");
        const CaseFile c = parseCaseFile(split < 0 ? text : text.first(split + 1));
        QTemporaryDir work;
        // An immutable folder needs the file system's support and the right to make one.
        if (text.contains("\nchattr ")) {
            if (QProcess::execute("chattr", {"+i", work.path()}) != 0)
                QSKIP("this file system or user cannot make a folder immutable");
            QProcess::execute("chattr", {"-i", work.path()});
        }
        writeInputs(c, work.path());
        const QMap<QString, QByteArray> before = filesUnder(work.path());

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_PLUGIN_PATH", TIVREL_HOOK_PLUGINS);
        env.insert("QT_QPA_GENERIC_PLUGINS", "tivrelhook");
        env.insert("TIVREL_HOOK_ACTIONS", QString::fromUtf8(c.sections.value(c.sections.size() - 1).name == "actions"
                                                                ? c.sections.last().lines.join('\n') : QByteArray()));
        for (const QString &setting : QString::fromUtf8(c.values("env").join('\n')).split('\n', Qt::SkipEmptyParts))
            setting.startsWith('-') ? env.remove(setting.mid(1)) : env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        const bool asNobody = c.values("user").contains("nobody") && geteuid() == 0;
        if (asNobody)
            QProcess::execute("chown", {"-R", "65534:65534", work.path()});
        const rlim_t limit = c.values("limit").value(0, "0").toULongLong();
        QProcess child;
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(work.path());
        child.setChildProcessModifier([asNobody, limit]() {
            if (asNobody && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
                _exit(90);
            const rlimit size{limit, limit};
            if (limit > 0 && (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &size) != 0))
                _exit(91);
        });
        // The command line, split at blanks; "" stands for an empty argument.
        child.start(TIVREL_PROGRAM, QString::fromUtf8(c.values("args").value(0)).split(' ', Qt::SkipEmptyParts).replaceInStrings("\"\"", ""));
        if (!child.waitForFinished(240000)) { // 50 MB read twice under the sanitizers
            child.kill();
            QFAIL("the program hung");
        }
        if (text.contains("\nchattr ")) // a run that ended early leaves no immutable folder behind
            QProcess::execute("chattr", {"-R", "-i", work.path()});

        // What the run gave, as the case file writes it.
        QByteArray out = child.readAllStandardOutput(), err;
        out.replace(TIVREL_PROGRAM, "tivrel");
        static const QRegularExpression qtRemark("^(QStandardPaths: |This plugin does not support |qt\\.|Fontconfig )");
        for (const QByteArray &line : child.readAllStandardError().split('\n'))
            if (!line.isEmpty() && !qtRemark.match(QString::fromUtf8(line)).hasMatch())
                err += line + '\n';
        QByteArray given = "[status]\n";
        given += child.exitStatus() == QProcess::CrashExit ? "crashed\n" : QByteArray::number(child.exitCode()) + '\n';
        given += section("stdout", out) + section("stderr", err);
        QMap<QString, QByteArray> after = filesUnder(work.path());
        if (after.contains("Tivrel_log.txt"))
            given += section("log", after.take("Tivrel_log.txt"));
        for (auto it = after.cbegin(); it != after.cend(); ++it) {
            const QImage image = it.key().endsWith(".png") ? QImage(work.filePath(it.key())) : QImage();
            const bool text = QByteArrayView(it.value()).isValidUtf8() && !it.value().contains('\0');
            if (before.contains(it.key()) && before[it.key()] != it.value())
                given += section("changed " + it.key().toUtf8(), text ? it.value() : QByteArray::number(it.value().size()) + " bytes\n");
            else if (!before.contains(it.key()))
                given += section("saved " + it.key().toUtf8(), image.isNull() ? it.value()
                                 : QString("image %1x%2\n").arg(image.width()).arg(image.height()).toUtf8());
        }
        for (const QString &name : before.keys())
            if (!after.contains(name) && name != "Tivrel_log.txt")
                given += section("removed " + name.toUtf8(), {});
        QCOMPARE(caseMismatch(file, split < 0 ? QByteArray() : text.sliced(split + 1), given, ""), QString());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ProcessCasesTest test;
    return runCaseDriver(test, app.arguments());
}

#include "test_processcases.moc"
