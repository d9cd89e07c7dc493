// Whether the program reads bytes decompressed: they start with gzip's
// magic bytes, or with a zstd frame's or skippable frame's (0x184D2A5?),
// as the reader's byte sources tell them.
#pragma once

#include <QByteArrayView>
#include <QtEndian>

inline bool startsCompressed(QByteArrayView bytes)
{
    if (bytes.startsWith("\x1f\x8b"))
        return true;
    if (bytes.size() < 4)
        return false;
    const quint32 magic = qFromLittleEndian<quint32>(bytes.data());
    return magic == 0xFD2FB528u || (magic & 0xFFFFFFF0u) == 0x184D2A50u;
}
