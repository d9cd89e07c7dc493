// The log file "Tivrel_log.txt": the only place where the program reports.
#pragma once

#include <QString>

inline constexpr const char *kLogFileName = "Tivrel_log.txt";
inline constexpr const char *kLogHeader = "Tivrel 0.1 by Ruvetti\n\n";

// Empties the log file in the working directory and writes its header.
// Returns false when the file cannot be opened.
bool startLog();

// Writes one line to the log.
void logLine(const QString &text);

// Writes the message (and a line feed unless told otherwise) to the log and
// ends the process with status 1. The stream is flushed by its destruction.
[[noreturn]] void failAndExit(const QString &message, bool lineFeed = true);
