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
    error_stream << kLogHeader;
    return true;
}

void logLine(const QString &text)
{
    error_stream << text << '\n';
}

void logLineAndExit(const QString &text)
{
    logLine(text);
    std::exit(1);
}

void logTextAndExit(const QString &text)
{
    error_stream << text;
    std::exit(1);
}
