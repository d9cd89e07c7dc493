// Helpers for the chosen data file's names: plain functions of their input.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>

// The first bytes of an encoded name, at most maxBytes, never ending inside
// a multi-byte character.
QByteArray leadingBytes(const QByteArray &encoded, qsizetype maxBytes);

// Copies at most maxBytes of the encoded name into a zero-filled array of
// `size` bytes, always leaving it terminated.
void copyName(char *array, std::size_t size, const QByteArray &encoded, qsizetype maxBytes);

// Absolute paths of the "*.txt" and "*.csv" files of a directory, by name.
QStringList listDataFiles(const QString &directory);

// The absolute path of a file named on the command line or dropped on the
// window, as the open-file dialog would give it; empty when it is not a
// file that can be opened for reading.
QString readableFilePath(const QString &path);
