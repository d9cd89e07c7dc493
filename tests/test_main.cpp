// The program itself, main included, run in a child process: the window's
// title and place, the way out through "&Exit", and the ends before any
// window is shown. A plugin loaded through the environment (tests/support/
// testhook.cpp) answers the open-file dialog and reports the window.
#include "support/testsupport.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

class MainTest : public QObject
{
    Q_OBJECT
private slots:
    void runs_data()
    {
        QTest::addColumn<QString>("open");      // the answer to the open-file dialog; "" cancels
        QTest::addColumn<bool>("logBlocked");   // the log's name taken by a directory
        QTest::addColumn<QByteArray>("output"); // what the hook saw of the window
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("log");
        const QRect screen = QGuiApplication::primaryScreen()->geometry(); // the child's screen too
        const QByteArray picture = QByteArray::number(int(0.8 * screen.width())) + "x"
            + QByteArray::number(int(0.75 * screen.height()));
        QTest::newRow("data file, then &Exit")
            << "d.txt" << false
            << "title: TIVREL 0.1 by Ruvetti  (contact@tivrel.org)\nposition: 5,5\npicture: " + picture + "\n" << 0
            << kLogHeader + "Get GLOBAL\n";
        QTest::newRow("first dialog cancelled") << "" << false << QByteArray() << 1
                                                << kLogHeader + "Input file problem!\n";
        QTest::newRow("log cannot be opened") << "d.txt" << true << QByteArray() << 1 << QByteArray();
    }

    void runs()
    {
        QFETCH(QString, open);
        QFETCH(bool, logBlocked);
        QTemporaryDir work;
        writeFile(work.filePath("d.txt"), "CHR\tPOS\tP\n1\t100\t0.5\n1\t900\t0.01\n2\t100\t1e-8\n2\t700\t0.2\n");
        if (logBlocked)
            QDir(work.path()).mkdir("Tivrel_log.txt");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_PLUGIN_PATH", TIVREL_HOOK_PLUGINS);
        env.insert("QT_QPA_GENERIC_PLUGINS", "tivrelhook");
        env.insert("TIVREL_HOOK_OPEN", open.isEmpty() ? QString() : work.filePath(open));
        child.setProcessEnvironment(env);
        child.setWorkingDirectory(work.path());
        child.start(TIVREL_PROGRAM, {});
        QVERIFY2(child.waitForFinished(60000), "the program hung");
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QTEST(child.readAllStandardOutput(), "output");
        QTEST(child.exitCode(), "status");
        QTEST(readFile(work.filePath("Tivrel_log.txt")), "log");
    }
};

QTEST_MAIN(MainTest)
#include "test_main.moc"
