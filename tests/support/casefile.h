// The case files of tests/cases/: comment lines ("#...") and "key: value"
// lines at the top, then sections, each a line "[name args...]" followed by
// its lines. Section lines stand for bytes (see caseBytes).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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

// The *.case files of a folder, by name.
QStringList caseFiles(const QString &folder);
