// Finding the chromosome, position and p-value columns among a header's
// names: the first line's rules, and the compatible reading's tables of the
// names that other tools write.
#pragma once

#include "reader.h"

#include <QStringList>

// Fills in the layout's columns from the header's names by the first line's
// rules, with the readings that no tool's file may go without: a p-value
// column named as -log10 p is the score, a -log10 p column serves the rows
// whose p-value is 0, and a TEST column keeps one test. False when the
// chromosome, position or p-value column is missing.
bool findColumns(const QStringList &names, Layout &layout);

// The same from the exact names other tools use (case ignored), each role
// falling back on the first line's rule; a -log10 p column serves where no
// p-value column is found.
bool findCompatibleColumns(const QStringList &names, Layout &layout);

// Whether the text names a column of the compatible reading's tables.
bool isColumnName(const QString &name);

// "Columns read: chromosome CHR, position BP, p-value P", and the further
// columns used; `names` empty for a file without a header.
QString describeColumns(const QStringList &names, const Layout &layout);
