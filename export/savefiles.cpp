#include "savefiles.h"

#include "data/vectorstate.h"

#include <QFileInfo>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

QString dataFileName(const QString &answer)
{
    return answer.contains(QLatin1String(".txt")) ? answer : answer + QLatin1String(".txt");
}

QString imageFileName(const QString &dataFile)
{
    const QString name = QFileInfo(dataFile).fileName();
    const QString directory = dataFile.left(dataFile.size() - name.size());
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString image = directory + (dot < 0 ? name : name.left(dot)) + QLatin1String(".png");
    return image == dataFile ? dataFile + QLatin1String(".png") : image;
}

namespace {

// Room for any number written below.
constexpr int kNumberRoom = 32;

// Writes a double as the text stream does by default: C's %g with 6
// significant digits, except that negative zero is written "0" (a p-value
// of 1 has the score -0). Returns the end of the text.
char *writeNumber(char *out, double value)
{
    if (value == 0) {
        *out = '0';
        return out + 1;
    }
    return std::to_chars(out, out + kNumberRoom, value, std::chars_format::general, 6).ptr;
}

// The p-value column for a score: 1 / 10^v, or, where 10^v is beyond a
// double, the same %g text worked out from v.
char *writePValue(char *out, double score)
{
    const double power = powClearingVectorState(10.0, score);
    if (std::isfinite(power))
        return writeNumber(out, 1 / power);
    // p = m * 10^e with 1 <= m < 10, from -score = e + log10(m).
    double e = std::floor(-score);
    double m = powClearingVectorState(10.0, -score - e);
    char mantissa[kNumberRoom];
    char *end = writeNumber(mantissa, m);
    if (std::string_view(mantissa, size_t(end - mantissa)) == "10") { // rounded up to the next power
        mantissa[1] = '\0';
        end = mantissa + 1;
        e += 1;
    }
    out = std::copy(mantissa, end, out);
    *out++ = 'e';
    *out++ = '-';
    return std::to_chars(out, out + kNumberRoom, -e, std::chars_format::fixed, 0).ptr;
}

} // namespace

QString numberText(double value)
{
    char text[kNumberRoom];
    return QString::fromLatin1(text, writeNumber(text, value) - text);
}

QString pValueText(double score)
{
    char text[2 * kNumberRoom];
    return QString::fromLatin1(text, writePValue(text, score) - text);
}

namespace {

// The header and one line per point, in blocks of about 1 MiB. Formatted
// here rather than through a text stream: a save of a whole chromosome is
// several times faster, with the same text.
bool writeRows(QIODevice &file, const QString &label, const QList<int> &positions, const QList<double> &values)
{
    const QByteArray labelBytes = label.toUtf8(); // the locale's encoding
    QByteArray buffer;
    buffer.reserve(1 << 20);
    buffer.append("Chr\tPosition\tP\t-log10(P)\n");
    char row[4 * kNumberRoom];
    for (qsizetype k = 0; k < positions.size(); ++k) {
        char *out = std::to_chars(row, row + kNumberRoom, positions[k]).ptr;
        *out++ = '\t';
        out = writePValue(out, values[k]);
        *out++ = '\t';
        out = writeNumber(out, values[k]);
        *out++ = '\n';
        buffer.append(labelBytes).append('\t').append(row, out - row);
        if (buffer.size() >= (1 << 20) - qsizetype(sizeof row) - labelBytes.size()) {
            if (file.write(buffer) != buffer.size())
                return false;
            buffer.resize(0);
        }
    }
    return file.write(buffer) == buffer.size();
}

} // namespace

bool writeDataFile(const QString &path, const QString &label, const QList<int> &positions,
                   const QList<double> &values)
{
    // All or nothing, through a temporary file beside the target.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text))
        return writeRows(file, label, positions, values) && file.commit();
    // The folder refuses the temporary file, whatever the cause (no right
    // to add files, an immutable folder, a full quota, too many files):
    // write the file itself where it may be written.
    QFile direct(path);
    if (!direct.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    const bool written = writeRows(direct, label, positions, values);
    direct.close();
    return written && direct.error() == QFileDevice::NoError;
}

bool sameFile(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}
