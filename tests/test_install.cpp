// `cmake --install` into a temporary prefix: exactly the program, its desktop
// entry, icon and man page; the entry passes desktop-file-validate and names
// the installed program and icon; the icon is an SVG drawing; the man page
// formats without a warning; the installed program runs.
#include "support/testsupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Output
{
    int status = -1;
    QByteArray out, err;
};

Output runTool(const QString &tool, const QStringList &arguments)
{
    const QString path = tool.contains('/') ? tool : QStandardPaths::findExecutable(tool);
    if (path.isEmpty())
        qFatal("%s is not installed (scripts/install-deps.sh lists it)", qPrintable(tool));
    QProcess p;
    p.start(path, arguments);
    Output o;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return o;
    o.status = p.exitCode();
    o.out = p.readAllStandardOutput();
    o.err = p.readAllStandardError();
    return o;
}

} // namespace

class InstallTest : public QObject
{
    Q_OBJECT
    QTemporaryDir prefix;

    QString installed(const QString &relative) const { return prefix.filePath(relative); }

private slots:
    void initTestCase()
    {
        const Output o = runTool("cmake", {"--install", TIVREL_BINARY_DIR, "--prefix", prefix.path()});
        QVERIFY2(o.status == 0, o.err.constData());
    }

    void installsExactlyTheseFiles()
    {
        QStringList files;
        QDirIterator it(prefix.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(prefix.path()).relativeFilePath(it.next());
        files.sort();
        QCOMPARE(files, QStringList({"bin/tivrel", "share/applications/tivrel.desktop",
                                     "share/icons/hicolor/scalable/apps/tivrel.svg", "share/man/man1/tivrel.1"}));
        QVERIFY(QFileInfo(installed("bin/tivrel")).isExecutable());
    }

    void desktopEntryIsValidAndOpensDataFiles()
    {
        const QString entry = installed("share/applications/tivrel.desktop");
        const Output check = runTool("desktop-file-validate", {entry});
        QVERIFY2(check.status == 0 && check.out.isEmpty() && check.err.isEmpty(), check.out + check.err);

        QSettings desktop(entry, QSettings::IniFormat);
        desktop.beginGroup("Desktop Entry");
        QCOMPARE(desktop.value("Type").toString(), "Application");
        QCOMPARE(desktop.value("Name").toString(), "Tivrel");
        QVERIFY(!desktop.value("Comment").toString().isEmpty());
        // The launcher hands over one local file path, the command line's FILE.
        QCOMPARE(desktop.value("Exec").toString(), "tivrel %f");
        QCOMPARE(desktop.value("Icon").toString(), "tivrel"); // share/icons/hicolor/scalable/apps/tivrel.svg
        QVERIFY(readFile(entry).contains("\nMimeType=text/plain;text/tab-separated-values;text/csv;application/gzip;"
                                         "application/x-gzip;application/zstd;\n"));
        QVERIFY(readFile(entry).contains("\nCategories=Science;Biology;\n"));
    }

    // A drawing of a Manhattan plot: dots of two colours and a line across.
    void iconIsAnSvgDrawing()
    {
        QXmlStreamReader svg(readFile(installed("share/icons/hicolor/scalable/apps/tivrel.svg")));
        QSet<QString> fills;
        int dots = 0;
        QString root;
        while (!svg.atEnd()) {
            if (svg.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (root.isEmpty())
                root = svg.name().toString();
            if (svg.name() == QLatin1String("g"))
                fills << svg.attributes().value("fill").toString();
            dots += svg.name() == QLatin1String("circle");
        }
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
        QCOMPARE(root, "svg");
        QCOMPARE(fills.size(), 2);
        QVERIFY(dots >= 10);
    }

    void manPageFormatsCleanly()
    {
        const QString page = installed("share/man/man1/tivrel.1");
        // Plain text: no bold or underline by overstriking.
        const Output groff = runTool("groff", {"-man", "-ww", "-Tascii", "-P-cbou", page});
        QVERIFY2(groff.status == 0 && groff.err.isEmpty(), groff.err.constData());
        for (const char *part : {"SYNOPSIS", "tivrel [FILE]", "--help", "--version", "Tivrel_log.txt",
                                 "EXIT STATUS"})
            QVERIFY2(groff.out.contains(part), part);
    }

    void installedProgramRuns()
    {
        const Output version = runTool(installed("bin/tivrel"), {"--version"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QByteArray("TIVREL 0.1\n"));
    }
};

QTEST_MAIN(InstallTest)
#include "test_install.moc"
