// Whether the program reads bytes decompressed: they start with gzip's
// magic bytes, or as zstd by the byte sources' own rule.
#pragma once

#include "data/sources.h"

#include <QByteArrayView>

inline bool startsCompressed(QByteArrayView bytes)
{
    return bytes.startsWith("\x1f\x8b") || startsAsZstd(bytes);
}
