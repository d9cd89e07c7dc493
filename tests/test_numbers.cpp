// The fast number conversions against Qt's (fuzz/numbercheck.h) on the
// fuzzer's seeds, which hold the tricky texts, and on random texts of three
// kinds; decimalMagnitude reads numbers beyond a double's range from their
// text.
#include "data/numbers.h"
#include "fuzz/numbercheck.h"

#include <QDir>
#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

QByteArray randomFrom(QRandomGenerator &random, const char *alphabet, int maxLength)
{
    QByteArray text;
    for (int length = random.bounded(maxLength + 1); length > 0; --length)
        text += alphabet[random.bounded(int(std::strlen(alphabet)))];
    return text;
}

// Random texts of three kinds: junk from a number's alphabet; the plain form
// "-?D+(.D+)?([eE][+-]?D+)?" with short (exact) or long (rounded) mantissas,
// sometimes decorated so it goes to Qt; any double written in %g or %e form.
QByteArray randomText(QRandomGenerator &random, int kind)
{
    if (kind == 0)
        return randomFrom(random, "0123456789+-.eE xa\t", 10);
    if (kind == 1) {
        const bool shortForm = random.bounded(2);
        QByteArray text = randomFrom(random, "-", 1);
        text += randomFrom(random, "0000123456789", shortForm ? 8 : 14);
        if (random.bounded(2))
            text += '.' + randomFrom(random, "0123456789", shortForm ? 8 : 24);
        if (random.bounded(2)) {
            text += "eE"[random.bounded(2)];
            text += randomFrom(random, "+-", 1);
            text += QByteArray::number(random.bounded(shortForm ? 30 : 400));
        }
        return random.bounded(3) == 0 ? " +\t"[random.bounded(3)] + text : text;
    }
    const quint64 pattern = random.generate64(); // any double, or one of everyday size
    const double value = random.bounded(2) ? std::ldexp(random.generateDouble(), random.bounded(-80, 80))
                                           : qFromUnaligned<double>(&pattern);
    return QByteArray::number(value, "ge"[random.bounded(2)], random.bounded(1, 26));
}

} // namespace

class NumbersTest : public QObject
{
    Q_OBJECT
private slots:
    void agreesWithQt()
    {
        QList<QByteArray> texts;
        const QDir seeds(TIVREL_NUMBER_SEEDS);
        for (const QString &name : seeds.entryList(QDir::Files)) {
            QFile file(seeds.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            texts << file.readAll();
        }
        QVERIFY(texts.size() > 80);
        QRandomGenerator random(20240611);
        for (int i = 0; i < 300000; ++i)
            texts << randomText(random, i % 3);
        for (const QByteArray &text : texts)
            if (const char *broken = brokenNumberRule(text))
                QFAIL(qPrintable(QString("%1 on \"%2\"").arg(broken, text.toPercentEncoding(" +-."))));
    }

    // Leading zeros, long mantissas, blanks and signs as Qt allows them; zero and junk give nothing.
    void decimalMagnitude()
    {
        for (const auto &[text, negative, log10] : QList<std::tuple<QByteArray, bool, double>>{
                 {"0.0001e-400", false, -404}, {" +1e-400 ", false, -400}, {"1e400", false, 400},
                 {"-3E-500", true, std::log10(3.0) - 500}, {".05", false, std::log10(0.05)},
                 {"0.000123456789012345678901234e-300", false, std::log10(1.23456789012345678) - 304},
                 {"1234567890123456789012345e-425", false, std::log10(1.234567890123456789) - 401},
                 {"18446744073709551621e-400", false, std::log10(1.8446744073709551621) - 381},
                 {"-00.5e+1", true, std::log10(5.0)}, {"5.\t", false, std::log10(5.0)}}) {
            const auto magnitude = ::decimalMagnitude(text);
            QVERIFY2(magnitude && magnitude->negative == negative, text.constData());
            const double error = std::fabs(magnitude->log10 - log10) / std::max(1.0, std::fabs(log10));
            QVERIFY2(error <= 1e-12, text.constData());
        }
        for (const char *invalid : {"0.000e-5", "", "e5", "1e-", "1e-400x", "1.2.3", "nan", "inf", "0x10"})
            QVERIFY2(!::decimalMagnitude(invalid), invalid);
    }
};

QTEST_APPLESS_MAIN(NumbersTest)
#include "test_numbers.moc"
