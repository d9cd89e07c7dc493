#include "mywidget.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("TIVREL"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Draws a Manhattan plot of a GWAS association results file and crops it with the mouse.\n"
                       "Without FILE, an open-file dialog asks for the data file."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Association results file to open (chromosome, position, p-value)."),
                                 QStringLiteral("[FILE]"));
}

// --help and --version need no display: they are answered before any GUI
// exists, so a terminal over ssh or a packaging script can ask them.
void answerHelpOrVersion(int argc, char *argv[])
{
    bool help = false, version = false;
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        for (const char *option : {"-h", "-?", "--help", "--help-all"})
            help = help || std::strcmp(argv[i], option) == 0;
        version = version || std::strcmp(argv[i], "-v") == 0 || std::strcmp(argv[i], "--version") == 0;
    }
    if (!help && !version)
        return;
    QCoreApplication app(argc, argv);
    nameApplication();
    QCommandLineParser parser;
    describeOptions(parser);
    // Qt's own options (-platform ...) are unknown here: they do not matter.
    parser.parse(QCoreApplication::arguments());
    if (help)
        parser.showHelp(0);
    parser.showVersion();
}

// The data file named on the command line; none when none is. An unknown
// option or a second file print a message and end the process with 1.
std::optional<QString> fileFromCommandLine(const QApplication &app)
{
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "%s: one data file at most\n", qPrintable(QCoreApplication::applicationName()));
        std::exit(1);
    }
    if (files.isEmpty())
        return std::nullopt;
    return files.first();
}

} // namespace

int main(int argc, char *argv[])
{
    answerHelpOrVersion(argc, argv);
    QApplication app(argc, argv);
    nameApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral("tivrel"));
    const std::optional<QString> file = fileFromCommandLine(app);

    MyWidget window(nullptr, file);
    window.setWindowTitle(QStringLiteral("TIVREL 0.1 by Ruvetti  (contact@tivrel.org)"));
    window.move(5, 5);
    window.show();
    return app.exec();
}
