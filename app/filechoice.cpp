#include "filechoice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

QByteArray leadingBytes(const QByteArray &encoded, qsizetype maxBytes)
{
    if (encoded.size() <= maxBytes)
        return encoded;
    qsizetype n = std::max<qsizetype>(maxBytes, 0);
    // Step back over continuation bytes (10xxxxxx) to the start of the cut
    // character, which then stays out whole.
    while (n > 0 && (uchar(encoded[n]) & 0xC0) == 0x80)
        --n;
    return encoded.left(n);
}

void copyName(char *array, std::size_t size, const QByteArray &encoded, qsizetype maxBytes)
{
    std::memset(array, 0, size);
    const QByteArray bytes = leadingBytes(encoded, std::min<qsizetype>(maxBytes, qsizetype(size) - 1));
    std::memcpy(array, bytes.constData(), size_t(bytes.size()));
}

QStringList listDataFiles(const QString &directory)
{
    QStringList paths;
    const QDir dir(directory);
    const QStringList names =
        dir.entryList({QStringLiteral("*.txt"), QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    for (const QString &name : names)
        paths.append(dir.absoluteFilePath(name));
    return paths;
}

QString readableFilePath(const QString &path)
{
    const QFileInfo info(path);
    // A pipe (`tivrel <(zcat f.gz)`) cannot be read twice, and opening it
    // would wait for a writer. Permission bits do not tell (root reads
    // anything): try to open it.
    QFile file(path);
    if (path.isEmpty() || !info.isFile() || !file.open(QIODevice::ReadOnly))
        return QString();
    return info.absoluteFilePath(); // cleaned, as the dialog's
}
