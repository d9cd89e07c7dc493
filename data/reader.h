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
};

// The log line of a fault (without its line feed).
QString faultMessage(Fault fault);

// How a data file is laid out: settled from its first line, or, for the
// layouts of other tools that the first line's rules refuse, by the
// compatible reading (comment lines, aligned columns, quotes, more names).
struct Layout {
    char delimiter = '\t';
    bool blankRuns = false; // fields are split at runs of blanks instead, leading blanks ignored
    bool unquote = false;   // a field wrapped in double quotes is read without them
    bool comments = false;  // lines starting with '#' are comments
    bool header = false;
    int chrColumn = 1; // field numbers, counted from 1
    int posColumn = 2;
    int pColumn = 3;
    bool pIsLog10 = false; // the p-value column holds -log10 p, read as the score
    int log10Column = 0;   // a -log10 p column, for the rows whose p-value is 0 (0: none)
    int testColumn = 0;    // a TEST column (0: none): only rows of the first data row's test are kept
    QByteArray test;       // that test, once the first data row is read
};

struct LayoutResult {
    Fault fault = Fault::None;
    Layout layout;
    // For the log, where the compatible reading or a column beyond the three
    // was used: "Columns read: chromosome CHR, position BP, p-value P
    // (compatible reading)". Empty otherwise.
    QString columns;
};

// Chooses TAB, SPACE or COMMA, in that order, from the first line.
std::optional<char> chooseDelimiter(const QString &firstLine);

// Whether a field converts as a number: an integer, a double, or a positive
// decimal number too small for a double.
bool isNumericField(const QString &field);

// The layout of a file whose first line is given.
LayoutResult detectLayout(const QString &firstLine);

// The compatible reading's layout of a file whose header (or first data
// line), after any comment lines, is given.
LayoutResult detectCompatibleLayout(const QString &headerLine);

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

// Applies the per-row tests in order: missing columns, another TEST,
// "NA", p-value conversion, zero, invalid p-value, score, position
// conversion. A comment line is skipped. Empty lines must not be passed.
Row convertRow(QByteArrayView line, const Layout &layout);
