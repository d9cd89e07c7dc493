// What the line reader must hold on any file, checked by the fuzzer on
// random bytes and by the tests on chosen and generated files: it reads the
// lines a text-mode QTextStream in the system encoding reads from the plain
// bytes, plain or gzipped or bgzipped, and reads them again from any line's
// offset, backwards too, and from the start.
#pragma once

#include <QStringList>

// The lines of the file as the text stream reads them, as UTF-8 text.
QStringList textStreamLines(const QString &path);

// The first rule the reader breaks on the file at `path` (plain or
// compressed), whose plain bytes the stream read as `lines`; empty if none.
// Whether a file ends in empty lines (after its last LF, a run of CRs, an
// unfinished UTF-8 sequence, or a file of a byte-order mark alone) depends,
// for the stream, on where its 16 KiB reads end; every load skips empty
// lines, so they are left out.
QString brokenLineRule(const QString &path, const QStringList &lines, bool empty);
