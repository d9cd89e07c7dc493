// The association data file: layout detection and row conversion shared by
// the genome-wide load and the chromosome load. Plain functions that return
// what they found, or the fault; the window turns a fault into its log line.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

class LineReader;

enum class Fault {
    None,
    CannotOpen,
    UnknownDelimiter,
    TooFewColumns,
    IncorrectColumns,
    NonNumericPValue,
    NonIntegerPosition,
    MissingColumns,
    InvalidPValue,
    TooFewRowsGenomeWide,
    TooFewRowsChromosome,
    GenomeWideOverflow,
    DamagedCompressed,
};

// The log line of a fault (without its line feed).
QString faultMessage(Fault fault);

// How a data file is laid out: settled from its first line.
struct Layout {
    char delimiter = '\t';
    bool header = false;
    int chrColumn = 1; // field numbers, counted from 1
    int posColumn = 2;
    int pColumn = 3;
};

struct LayoutResult {
    Fault fault = Fault::None;
    Layout layout;
};

// Chooses TAB, SPACE or COMMA, in that order, from the first line.
std::optional<char> chooseDelimiter(const QString &firstLine);

// Whether a field converts as a number: an integer, a double, or a decimal
// number beyond a double's range.
bool isNumericField(const QString &field);

// The layout of a file whose first line is given.
LayoutResult detectLayout(const QString &firstLine);

// Opens the reader's file, settles the layout and leaves the reader at the
// first line to read as data.
LayoutResult openDataFile(LineReader &reader, const QString &path);

// One data line, converted.
struct Row {
    enum Kind { Skipped, Kept, Bad };
    Kind kind = Skipped;
    Fault fault = Fault::None; // for Bad
    QByteArrayView label;      // the chromosome field, for Skipped and Kept
    int position = 0;          // for Kept
    double score = 0;          // -log10(p), for Kept
};

// Applies the per-row tests in order: missing columns, "NA", p-value
// conversion, zero, invalid p-value, score, position conversion.
// Empty lines must not be passed.
Row convertRow(QByteArrayView line, const Layout &layout);
