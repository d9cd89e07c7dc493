// The fast number conversions must accept exactly the texts Qt accepts and
// give bit-identical values; decimalMagnitude reads numbers beyond a
// double's range from their text.
#include "data/numbers.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

// A conversion's result as bytes ("none" when refused), so that NaNs and -0 compare exactly.
QByteArray bits(std::optional<double> v) { return v ? QByteArray(reinterpret_cast<char *>(&*v), sizeof *v) : "none"; }

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
    // toInt32 and toDouble accept just the texts Qt accepts, with the same values bit for bit:
    // a table of tricky texts, then random ones.
    void agreesWithQt()
    {
        const QByteArray halfway = "9007199254740993"; // between two doubles
        QList<QByteArray> texts = {
            "", "NA", "-1", "+1", "\t1\t", "1\r", "1\n", " +1e-400 ", "-.5", "+.5e-3", "5.e3", ".", "-", "e5", "1e-",
            "3.2E-8", "1e5.5", "1e+-5", "--1", "1,5", "1 000", "0x10", "0x1p3", "1d5", "nan", "-nan", "-inf", "INF",
            "infinity", "-0", "-0.0", "0e0", "00012", "0e-400", "1e-400", "1e400", "1e-320", "4.9e-324",
            "2.4703282292062327e-324", "2.2250738585072011e-308", "1.7976931348623157e308", "1.7976931348623159e308",
            "1e0000000000000000000005", "1e99999999999999999999", "0000000000000000000000001", "150.0", "2147483647",
            "2147483648", "-2147483648", "-2147483649", "-999999999", "1234567890", "1e23", "8.589973e9",
            "0.30000000000000004", "18446744073709551621", "0.18446744073709551621", // 2^64 + 5: 20 digits
            halfway, halfway + ".0", halfway + QByteArray(800, '0') + "1",
            "0." + QByteArray(400, '0') + "1e390", "1" + QByteArray(400, '0'), QByteArray(1000, '9'),
            QByteArray("1\0", 2), QByteArray("\0" "1", 2), "\xff" "1", "1\xc3",
            "\xd9\xa3", "\xef\xbc\x91", // Arabic-Indic three, fullwidth one
            "\xc2\xa0" "5", "5\xc2\xa0", "\xe3\x80\x80" "5", "\xe2\x88\x92" "5"}; // odd spaces, MINUS SIGN
        QRandomGenerator random(20240611);
        for (int i = 0; i < 300000; ++i)
            texts << randomText(random, i % 3);
        for (const QByteArray &text : texts)
            QVERIFY2(toInt32(text) == qtToInt32(text) && bits(toDouble(text)) == bits(qtToDouble(text)),
                     "conversions differ on \"" + text.toPercentEncoding(" +-.") + '"');
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
