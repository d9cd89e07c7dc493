// The two loads of a data file: the whole genome, laid end to end on one
// axis, and one chromosome run read back with its base-pair positions.
#pragma once

#include "reader.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVector>

#include <memory>

class SeekPoints;

// One entry per chromosome run (a maximal block of consecutive kept rows
// with one label), in file order.
struct ChromosomeTable {
    QStringList tags;
    QVector<int> startIndex;  // index of the run's first point
    QVector<int> endIndex;    // index of the run's last point
    QVector<int> startValue;  // genome-wide x of the run's first point
    QVector<int> endValue;    // genome-wide x of the run's last point
    QVector<int> colorValue;  // red of the run's points: 255, 50, 255, ...
    QVector<qint64> startOffset; // file offset of the run's first kept row
};

// What a load saw of the data file on disk. A file whose size or
// modification time differ since has been changed, and offsets taken from
// it may now fall inside a line.
struct FileStamp {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileStamp &other) const { return size == other.size && modified == other.modified; }
    bool operator!=(const FileStamp &other) const { return !(*this == other); }
};

// The file's size and modification time now (size -1: no such file).
FileStamp fileStamp(const QString &path);

struct GenomeWide {
    Fault fault = Fault::None;
    QString columns;  // the layout's log line, where it is worth one
    FileStamp stamp;  // the file as this load read it
    QList<int> x;     // genome-wide x, in units of 100 bp
    QList<double> scores;
    ChromosomeTable table;
    // Where a gzip file's decompression can start again, for the chromosome
    // loads (null for other files).
    std::shared_ptr<const SeekPoints> seekPoints;
};

// How the genome-wide load reads: the text in chunks of about `chunkSize`
// bytes, converted on `threads` threads (0: one per core); a gzip file's
// seek points taken `seekPointDistance` decompressed bytes apart at first.
struct LoadOptions {
    qsizetype chunkSize = 1 << 18;
    int threads = 0;
    qint64 seekPointDistance = 4 << 20;
};

// Reads every kept row of the file.
GenomeWide loadGenomeWide(const QString &path, const LoadOptions &options = LoadOptions());

// The log lines of a genome-wide load, in order: the columns read where
// they are worth a line, then the fault's message, if any.
QStringList genomeWideLog(const GenomeWide &g);

struct ChromosomeRun {
    Fault fault = Fault::None;
    bool layoutSettled = false; // the fault, if any, came from the rows
    QList<int> positions; // base-pair positions as read
    QList<double> scores;
};

// Reads back one run of the table: from its first row at `offset`, the
// `count` kept rows labelled `label`, skipping the "NA" and zero rows of
// other labels that may stand between them. The genome-wide load's seek
// points, if any, spare decompressing a gzip file from its start.
ChromosomeRun loadRun(const QString &path, qint64 offset, const QString &label, int count,
                      std::shared_ptr<const SeekPoints> seekPoints = nullptr);

// Reads from the start of the file the first block of lines labelled
// `label`: from its first line to the line before the first later non-empty
// line of another label (even one whose p-value is "NA" or 0). Lines before
// the block are only split and compared.
ChromosomeRun loadFirstBlock(const QString &path, const QString &label);

// The chromosome load: the run at its offset while the file is as the
// genome-wide load saw it (`seen`), else the label's first block.
ChromosomeRun loadChromosome(const QString &path, const FileStamp &seen, qint64 offset, const QString &label,
                             int count, std::shared_ptr<const SeekPoints> seekPoints = nullptr);
