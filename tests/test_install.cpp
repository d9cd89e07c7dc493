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

// The tool's exit status, standard output and standard error.
static std::tuple<int, QByteArray, QByteArray> run(const QString &tool, const QStringList &arguments, int ms = 120000)
{
    const QString path = tool.contains('/') ? tool : QStandardPaths::findExecutable(tool);
    if (path.isEmpty())
        qFatal("%s is not installed (scripts/install-deps.sh lists it)", qPrintable(tool));
    QProcess p;
    p.start(path, arguments);
    if (!p.waitForFinished(ms) || p.exitStatus() != QProcess::NormalExit)
        return {-1, {}, {}};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

class InstallTest : public QObject
{
    Q_OBJECT
    QTemporaryDir prefix;

private slots:
    void installs()
    {
        QCOMPARE(std::get<0>(run("cmake", {"--install", TIVREL_BINARY_DIR, "--prefix", prefix.path()})), 0);
        QStringList files;
        for (QDirIterator it(prefix.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            files << QDir(prefix.path()).relativeFilePath(it.next());
        files.sort();
        QCOMPARE(files, QStringList({"bin/tivrel", "share/applications/tivrel.desktop",
                                     "share/icons/hicolor/scalable/apps/tivrel.svg", "share/man/man1/tivrel.1"}));
        const auto [status, version, ignored] = run(prefix.filePath("bin/tivrel"), {"--version"});
        QCOMPARE(std::make_pair(status, version), std::make_pair(0, QByteArray("TIVREL 0.1\n")));

        // The launcher hands over one local file path, the command line's FILE.
        const QString entry = prefix.filePath("share/applications/tivrel.desktop");
        QVERIFY(run("desktop-file-validate", {entry}) == std::tuple(0, QByteArray(), QByteArray()));
        QSettings desktop(entry, QSettings::IniFormat);
        desktop.beginGroup("Desktop Entry");
        QCOMPARE(QStringList({desktop.value("Type").toString(), desktop.value("Name").toString(),
                              desktop.value("Exec").toString(), desktop.value("Icon").toString()}),
                 QStringList({"Application", "Tivrel", "tivrel %f", "tivrel"}));
        QVERIFY(!desktop.value("Comment").toString().isEmpty());
        QVERIFY(readFile(entry).contains("\nMimeType=text/plain;text/tab-separated-values;text/csv;application/gzip;"
                                         "application/x-gzip;application/zstd;\n"));
        QVERIFY(readFile(entry).contains("\nCategories=Science;Biology;\n"));

        // The icon: a drawing of a Manhattan plot, dots of two colours.
        QXmlStreamReader svg(readFile(prefix.filePath("share/icons/hicolor/scalable/apps/tivrel.svg")));
        QSet<QString> fills;
        QStringList elements;
        while (!svg.atEnd())
            if (svg.readNext() == QXmlStreamReader::StartElement) {
                elements << svg.name().toString();
                if (svg.name() == QLatin1String("g"))
                    fills << svg.attributes().value("fill").toString();
            }
        QVERIFY2(!svg.hasError(), qPrintable(svg.errorString()));
        QVERIFY(elements.value(0) == "svg" && fills.size() == 2 && elements.count("circle") >= 10);

        // The man page, plain text without a warning: no bold or underline by overstriking.
        const auto [groffStatus, page, warnings] = run("groff", {"-man", "-ww", "-Tascii", "-P-cbou", prefix.filePath("share/man/man1/tivrel.1")});
        QVERIFY2(groffStatus == 0 && warnings.isEmpty(), warnings.constData());
        for (const char *part : {"SYNOPSIS", "tivrel [FILE]", "--help", "--version", "Tivrel_log.txt", "EXIT STATUS"})
            QVERIFY2(page.contains(part), part);
    }

    // The benchmark is a command-line tool: what it cannot use gets the usage
    // on standard error and status 2, never a dialog that waits for a click.
    void benchmarkUsage()
    {
        const QByteArray usage = "usage: " TIVREL_BENCH " FILE [--json] [--floor [PLAIN]]\n";
        for (const auto &[argument, problem] : {std::pair("--help", ""), std::pair("--fast", ""),
                                                std::pair("missing.txt", TIVREL_BENCH ": missing.txt is no readable file\n")})
            QCOMPARE(run(TIVREL_BENCH, {argument}, 20000), std::tuple(2, QByteArray(), problem + usage));
    }
};

QTEST_MAIN(InstallTest)
#include "test_install.moc"
