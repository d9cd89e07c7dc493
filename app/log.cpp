#include "log.h"

#include "state.h"

#include <cstdlib>

bool startLog()
{
    // Text still pending for an earlier log belongs to that log, not the new one.
    error_stream.flush();
    if (errorfile.isOpen())
        errorfile.close();
    errorfile.setFileName(QString::fromLatin1(kLogFileName));
    if (!errorfile.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    error_stream.setDevice(&errorfile);
    error_stream.setEncoding(QStringConverter::System);
    logText(QString::fromLatin1(kLogHeader));
    return true;
}

void logText(const QString &text)
{
    // Written through at once: a run killed by a signal, the out-of-memory
    // killer or a crash keeps every line logged so far, and the log can be
    // followed while the program runs.
    error_stream << text;
    error_stream.flush();
}

void logLine(const QString &text)
{
    logText(text + QLatin1Char('\n'));
}

void logLineAndExit(const QString &text)
{
    logLine(text);
    std::exit(1);
}

void logTextAndExit(const QString &text)
{
    logText(text);
    std::exit(1);
}
