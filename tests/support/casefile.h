// The case files of tests/cases/: comment lines ("#...") and "key: value"
// lines at the top, then sections, each a line "[name args...]" followed by
// its lines. Section lines stand for bytes (see caseBytes). The drivers of a
// case folder share the rest: a data row per case, and --update.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QObject;

struct CaseSection {
    QByteArray name;
    QList<QByteArray> args;
    QList<QByteArray> lines;
};

struct CaseFile {
    QList<std::pair<QByteArray, QByteArray>> keys;
    QList<CaseSection> sections;
    QList<QByteArray> values(const QByteArray &key) const;
};

CaseFile parseCaseFile(const QByteArray &text);

// A line feed after each line except one ending in a lone "\"; escapes: \t
// TAB, \r CR, \0 NUL, \xHH any byte, \\ a backslash, and \{N} repeating the
// byte before it until it stands N times in a row.
QByteArray caseBytes(const QList<QByteArray> &lines);

// Bytes as the lines of a section: the inverse of caseBytes.
QByteArray caseText(const QByteArray &bytes);

// Where two texts part: empty when they do not, else the first line that
// differs.
QString firstDifference(const QByteArray &actual, const QByteArray &expected);

// A data row "file" for each *.case file of the folder, by name.
void addCaseRows(const QString &folder);

// What a case gave against what it expects: their first difference, or
// empty. A case that expects nothing yet (`expected` null) is given what it
// gave, after `heading`, when the driver runs with --update: then review it
// by hand before committing it.
QString caseMismatch(const QString &file, const QByteArray &expected, const QByteArray &given, const QByteArray &heading);

// A driver's main: runs the test object, taking --update from the arguments.
int runCaseDriver(QObject &test, QStringList arguments);
