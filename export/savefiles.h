// Saving the points on show: output names, number text and the data file.
// Plain functions; the window asks for the name and reports failures.
#pragma once

#include <QList>
#include <QString>

// The data file for a typed name: ".txt" is added unless the name holds
// ".txt" somewhere (case-sensitive).
QString dataFileName(const QString &answer);

// The image beside a data file: its path with the last suffix of its file
// name replaced by ".png" (or ".png" added when that would be the data file
// itself).
QString imageFileName(const QString &dataFile);

// A double as the text stream writes it: %g with 6 significant digits.
QString numberText(double value);

// The p-value column for a score v: 1 / 10^v, or, where 10^v is beyond a
// double, the same %g text worked out from v (v = 400 gives "1e-400").
QString pValueText(double score);

// Writes the header and one tab-separated line per point, all or nothing
// (a failure leaves no partial file behind) wherever the folder allows a
// temporary file; directly into the file otherwise. False on any failure.
bool writeDataFile(const QString &path, const QString &label, const QList<int> &positions,
                   const QList<double> &values);

// True when both names lead to the same existing file.
bool sameFile(const QString &a, const QString &b);
