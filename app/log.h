// The log file "Tivrel_log.txt": the only place where the program reports.
// Every line goes through the functions below and reaches the file as it
// is written.
#pragma once

#include <QString>

inline constexpr const char *kLogFileName = "Tivrel_log.txt";
inline constexpr const char *kLogHeader = "Tivrel 0.1 by Ruvetti\n\n";

// Empties the log file in the working directory and writes its header.
// Returns false when the file cannot be opened.
bool startLog();

// Writes the text as it stands.
void logText(const QString &text);

// Writes one line (the line feed is added).
void logLine(const QString &text);

// Writes one line, then ends the process with status 1.
[[noreturn]] void logLineAndExit(const QString &text);

// Writes the text without a line feed, then ends the process with status 1:
// the message of a save that failed is the last text of the log.
[[noreturn]] void logTextAndExit(const QString &text);
