// Reads a data file line by line the way a text-mode QTextStream in the
// locale's encoding does (every CR dropped, lines end at LF, a leading
// byte-order mark skipped, UTF-16/32 files decoded), but over raw bytes and
// without any allocation per line.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>

class LineReader
{
public:
    // Opens the file; false when it cannot be opened for reading.
    bool open(const QString &path);
    // True for a file of no bytes at all.
    bool isEmpty() const { return file_.size() == 0; }
    // True when no line is left, as QTextStream::atEnd.
    bool atEnd();
    // The next line without its terminator; the view stays valid until the
    // next call. offset is where the line starts, usable with seek().
    bool readLine(QByteArrayView &line, qint64 &offset);
    // Continues reading at an offset given by readLine (0 is the start).
    bool seek(qint64 offset);

private:
    bool fill();

    QFile file_;
    QByteArray buffer_;
    qsizetype pos_ = 0;       // next unread byte in buffer_
    qsizetype end_ = 0;       // end of the valid bytes in buffer_
    qint64 bufferOffset_ = 0; // offset of buffer_[0] in the source
    qint64 startOffset_ = 0;  // where the text begins (after a byte-order mark)
    bool eof_ = false;
    bool inMemory_ = false; // UTF-16/32 files are decoded whole into buffer_
};
