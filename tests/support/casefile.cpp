#include "casefile.h"

#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

namespace {
bool update = false;
}

QList<QByteArray> CaseFile::values(const QByteArray &key) const
{
    QList<QByteArray> found;
    for (const auto &[k, v] : keys)
        if (k == key)
            found << v;
    return found;
}

CaseFile parseCaseFile(const QByteArray &text)
{
    static const QRegularExpression header(QStringLiteral("^\\[([a-z]+)( [^\\]]*)?\\]$"));
    CaseFile file;
    QList<QByteArray> lines = text.split('\n');
    if (text.endsWith('\n'))
        lines.removeLast();
    for (const QByteArray &line : lines) {
        if (const auto m = header.match(QString::fromUtf8(line)); m.hasMatch()) {
            file.sections.append({m.captured(1).toUtf8(), m.captured(2).toUtf8().simplified().split(' '), {}});
            file.sections.last().args.removeAll(QByteArray());
        } else if (!file.sections.isEmpty()) {
            file.sections.last().lines << line;
        } else if (const qsizetype colon = line.indexOf(": "); colon > 0 && !line.startsWith('#')) {
            file.keys.append({line.left(colon), line.mid(colon + 2)});
        }
    }
    return file;
}

QByteArray caseBytes(const QList<QByteArray> &lines)
{
    QByteArray bytes(""); // present, even when empty
    for (const QByteArray &line : lines) {
        const bool joined = line.endsWith('\\') && !line.endsWith("\\\\");
        for (qsizetype i = 0; i < line.size() - (joined ? 1 : 0); ++i) {
            if (line[i] != '\\' || i + 1 == line.size()) {
                bytes += line[i];
            } else if (line[++i] == 'x') {
                bytes += char(line.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else if (line[i] == '{' && !bytes.isEmpty()) {
                const qsizetype close = line.indexOf('}', i);
                bytes.append(line.mid(i + 1, close - i - 1).toLongLong() - 1, bytes.back());
                i = close;
            } else {
                bytes += line[i] == 't' ? '\t' : line[i] == 'r' ? '\r' : line[i] == '0' ? '\0' : line[i];
            }
        }
        if (!joined)
            bytes += '\n';
    }
    return bytes;
}

QByteArray caseText(const QByteArray &bytes)
{
    QByteArray text;
    for (const char c : bytes) {
        if (c == '\\' || c == '\t' || c == '\r')
            text += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : "\\r";
        else if (c == '\n' || (uchar(c) >= 0x20 && uchar(c) < 0x7f))
            text += c;
        else
            text += "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
    }
    return bytes.isEmpty() || bytes.endsWith('\n') ? text : text + "\\\n";
}

QString firstDifference(const QByteArray &actual, const QByteArray &expected)
{
    const QList<QByteArray> a = actual.split('\n'), e = expected.split('\n');
    qsizetype i = 0;
    while (i < std::max(a.size(), e.size()) && a.value(i) == e.value(i))
        ++i;
    if (i == std::max(a.size(), e.size()))
        return QString();
    return QString("line %1: expected \"%2\", got \"%3\"").arg(i + 1).arg(e.value(i), a.value(i));
}

void addCaseRows(const QString &folder)
{
    QTest::addColumn<QString>("file");
    for (const QString &name : QDir(folder).entryList({QStringLiteral("*.case")}, QDir::Files, QDir::Name))
        QTest::newRow(qPrintable(QFileInfo(name).baseName())) << folder + '/' + name;
}

QString caseMismatch(const QString &file, const QByteArray &expected, const QByteArray &given, const QByteArray &heading)
{
    if (!expected.isNull())
        return firstDifference(given, expected);
    if (!update)
        return QStringLiteral("the case expects nothing yet: run its driver with --update, then review what it adds");
    const QByteArray text = readFile(file);
    writeFile(file, text + (text.endsWith('\n') ? "" : "\n") + heading + given);
    return QString();
}

int runCaseDriver(QObject &test, QStringList arguments)
{
    update = arguments.removeAll(QStringLiteral("--update")) > 0;
    return QTest::qExec(&test, arguments);
}
