#include "mywidget.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

// The data file named on the command line; a null string when none is.
// --help and --version print their text and end the process with status 0,
// an unknown option or a second file print a message and end it with 1.
QString fileFromCommandLine(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws a Manhattan plot of a GWAS association results file and crops it with the mouse.\n"
                       "Without FILE, an open-file dialog asks for the data file."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("Association results file to open (chromosome, position, p-value)."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        std::fprintf(stderr, "%s: one data file at most\n", qPrintable(QCoreApplication::applicationName()));
        std::exit(1);
    }
    if (files.isEmpty())
        return QString();
    return files.first().isNull() ? QStringLiteral("") : files.first(); // "" names no readable file
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TIVREL"));
    QApplication::setApplicationVersion(QStringLiteral("0.1"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tivrel"));
    const QString file = fileFromCommandLine(app);

    MyWidget window(nullptr, file);
    window.setWindowTitle(QStringLiteral("TIVREL 0.1 by Ruvetti  (contact@tivrel.org)"));
    window.move(5, 5);
    window.show();
    return app.exec();
}
