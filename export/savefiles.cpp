#include "savefiles.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <cmath>

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

QString numberText(double value)
{
    QString text;
    QTextStream(&text) << value;
    return text;
}

QString pValueText(double score)
{
    const double power = std::pow(10.0, score);
    if (std::isfinite(power))
        return numberText(1 / power);
    // p = m * 10^e with 1 <= m < 10, from -score = e + log10(m).
    double e = std::floor(-score);
    QString mantissa = QString::number(std::pow(10.0, -score - e), 'g', 6);
    if (mantissa == QLatin1String("10")) { // rounded up to the next power
        mantissa = QStringLiteral("1");
        e += 1;
    }
    return mantissa + QLatin1String("e-") + QString::number(-e, 'f', 0);
}

bool writeDataFile(const QString &path, const QString &label, const QList<int> &positions,
                   const QList<double> &values)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::System);
    out << "Chr\tPosition\tP\t-log10(P)\n";
    for (qsizetype k = 0; k < positions.size(); ++k)
        out << label << '\t' << positions[k] << '\t' << pValueText(values[k]) << '\t' << values[k] << '\n';
    out.flush();
    return out.status() == QTextStream::Ok && file.commit();
}

bool sameFile(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}
