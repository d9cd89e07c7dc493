// Finding the chromosome, position and p-value columns among a header's
// names: the first line's rules, and the compatible reading's tables of the
// names that other tools write.
#pragma once

#include "reader.h"

#include <QStringList>

// Fills in the layout's columns from the header's names by the first line's
// rules, with the readings that no tool's file may go without: a field named
// exactly as a chromosome is the chromosome column, a p-value column named
// as -log10 p is the score, a -log10 p column serves the rows whose p-value
// is 0, and a TEST column keeps one test. IncorrectColumns when the
// chromosome, position or p-value column is missing; NaturalLogPValue when
// the p-value column's name says it holds natural logarithms.
Fault findColumns(const QStringList &names, Layout &layout);

// The same from the exact names other tools use (case ignored), each role
// falling back on the first line's rule; a -log10 p column serves where no
// p-value column is found. Without a position column, the fields that may
// hold a variant as chromosome:position go to `variantColumns`.
Fault findCompatibleColumns(const QStringList &names, Layout &layout, QList<int> &variantColumns);

// Whether the text names a column of the compatible reading's tables.
bool isColumnName(const QString &name);

// "Columns read: chromosome CHR, position BP, p-value P", and the further
// columns used; `names` empty for a file without a header.
QString describeColumns(const QStringList &names, const Layout &layout);
