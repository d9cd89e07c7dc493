#include "linecheck.h"

#include "data/linereader.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextStream>

namespace {

// UTF-8 bytes as text. Unlike QString::fromUtf8, the decoder keeps a byte-order mark at the
// start of a line, as the stream does in mid-file.
QString text(QByteArrayView utf8)
{
    return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom)(utf8);
}

// The lines as text, and where each starts.
QStringList readerLines(LineReader &reader, QList<qint64> &offsets)
{
    QStringList lines;
    QByteArrayView line;
    qint64 offset = 0;
    for (offsets.clear(); reader.readLine(line, offset); offsets << offset)
        lines << text(line);
    return lines;
}

QStringList trimmed(QStringList lines)
{
    while (lines.endsWith(QString()))
        lines.removeLast();
    return lines;
}

} // namespace

QStringList textStreamLines(const QString &path)
{
    QFile file(path);
    QStringList lines;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::System);
    // As UTF-8 text, the form every output takes: a lone surrogate of a
    // UTF-16 file is a '?'.
    while (!stream.atEnd())
        lines << text(stream.readLine().toUtf8());
    return lines;
}

QString brokenLineRule(const QString &path, const QStringList &expected, bool empty)
{
    LineReader reader;
    if (!reader.open(path) || reader.isEmpty() != empty)
        return QStringLiteral("the file opens, empty where it is");
    if (reader.vcf())
        return QString(); // a VCF's lines are its records, as htslib reads them (the reader fuzzer's part)
    QList<qint64> offsets, rest;
    const QStringList lines = readerLines(reader, offsets);
    if (trimmed(lines) != trimmed(expected))
        return QStringLiteral("the lines are the text stream's");
    if (!reader.atEnd() || reader.damaged())
        return QStringLiteral("the end is the end, undamaged");
    for (const qsizetype i : {lines.size() - 1, qsizetype(1), lines.size() / 2}) {
        if (i >= 0 && i < lines.size()
            && (!reader.seek(offsets[i]) || readerLines(reader, rest) != lines.mid(i) || rest != offsets.mid(i)))
            return QStringLiteral("a seek to a line's offset reads on from that line");
    }
    if (!reader.seek(0) || readerLines(reader, rest) != lines)
        return QStringLiteral("a seek to 0 reads the file again");
    // A seek forward right after the first line, decompressing ahead, as a
    // pick does.
    LineReader picking;
    QByteArrayView first;
    qint64 at = 0;
    if (lines.size() > 2) {
        const bool started = picking.open(path) && picking.readLine(first, at);
        picking.decompressAhead();
        if (!started || !picking.seek(offsets.last()) || readerLines(picking, rest) != lines.mid(lines.size() - 1))
            return QStringLiteral("a seek forward from the first line lands on its line");
    }
    return QString();
}
