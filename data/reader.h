// The association data file: layout detection and row conversion shared by
// the genome-wide load and the chromosome load. Plain functions that return
// what they found, or the fault; the window turns a fault into its log line.
#pragma once

#include "fields.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>

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
    NaturalLogPValue,
    VcfWithoutLp,
    BadVcfRecord,
};

// The log line of a fault (without its line feed).
QString faultMessage(Fault fault);

// How a data file is laid out: settled from its first line, or, for the
// layouts of other tools that the first line's rules refuse, by the
// compatible reading (comment lines, aligned columns, quotes, more names).
// The field splitting is the one both header and rows go through.
struct Layout : FieldSplitting {
    bool comments = false; // lines starting with '#' are comments
    bool header = false;
    int chrColumn = 1; // field numbers in the rows, counted from 1
    int posColumn = 2;
    int pColumn = 3;
    bool rowNames = false;  // each row starts with a name the header has no field for
    bool variant = false;   // chromosome and position both come from one field such as 1:12345:A:G
    bool pIsLog10 = false;  // the p-value column holds -log10 p, read as the score
    bool chromosomeByName = false; // a field named as a chromosome overrode the first match
    int log10Column = 0;    // a -log10 p column, for the rows whose p-value is 0 (0: none)
    int testColumn = 0;     // a TEST column (0: none): only rows of one test are kept
    QByteArray test;        // that test: ADD where the first variant has it, else its first row's
};

struct LayoutResult {
    Fault fault = Fault::None;
    Layout layout;
    // For the log, where the compatible reading or a column beyond the three
    // was used: "Columns read: chromosome CHR, position BP, p-value P
    // (compatible reading)". Empty otherwise.
    QString columns;
    QStringList names;         // the header's fields
    QList<int> variantColumns; // where no position column is found: fields that may hold one, preferred first
};

// Chooses TAB, SPACE or COMMA, in that order, from the first line.
std::optional<char> chooseDelimiter(QByteArrayView firstLine);

// Whether a field converts as a number: an integer, a double, or a positive
// decimal number too small for a double.
bool isNumericField(QByteArrayView field);

// The layout of a file whose first line is given.
LayoutResult detectLayout(QByteArrayView firstLine);
inline LayoutResult detectLayout(const QString &firstLine)
{
    return detectLayout(QByteArrayView(firstLine.toUtf8()));
}

// The compatible reading's layout of a file whose header (or first data
// line), after any comment lines, is given. Where no position column is
// found, a variant column may serve; which one, the first data row tells
// (openDataFile).
LayoutResult detectCompatibleLayout(QByteArrayView headerLine);

// Whether a line starting with '#' before the header is a comment, not a
// header such as "#CHROM POS ...": its first field is no column name.
bool isCommentLine(const QString &line);

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

// Applies the per-row tests in order: missing columns, another TEST, a
// missing p-value ("NA", empty or "."), p-value conversion, zero (unless a
// -log10 p stands in for it), invalid p-value, score, position conversion.
// A comment line is skipped. Empty lines must not be passed.
Row convertRow(QByteArrayView line, const Layout &layout);
