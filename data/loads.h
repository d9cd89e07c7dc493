// The two loads of a data file: the whole genome, laid end to end on one
// axis, and one chromosome run read back with its base-pair positions.
#pragma once

#include "reader.h"

#include <QList>
#include <QStringList>
#include <QVector>

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

struct GenomeWide {
    Fault fault = Fault::None;
    QString columns; // the layout's log line, where it is worth one
    QList<int> x;    // genome-wide x, in units of 100 bp
    QList<double> scores;
    ChromosomeTable table;
};

// Reads every kept row of the file.
GenomeWide loadGenomeWide(const QString &path);

struct ChromosomeRun {
    Fault fault = Fault::None;
    bool layoutSettled = false; // the fault, if any, came from the rows
    QList<int> positions; // base-pair positions as read
    QList<double> scores;
};

// Reads back one run of the table: from its first row at `offset`, the
// `count` kept rows labelled `label`, skipping the "NA" and zero rows of
// other labels that may stand between them.
ChromosomeRun loadRun(const QString &path, qint64 offset, const QString &label, int count);
