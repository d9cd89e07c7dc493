// The fast number conversions must accept exactly the texts Qt accepts and
// give bit-identical values; decimalMagnitude reads numbers beyond a
// double's range from their text.
#include "data/numbers.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>

namespace {

// Empty when toInt32/toDouble agree with Qt on the text (values bit for bit),
// else what differs.
QByteArray disagreement(const QByteArray &text)
{
    const auto fastInt = toInt32(text), qtInt = qtToInt32(text);
    const auto fastDouble = toDouble(text), qtDouble = qtToDouble(text);
    const bool sameDouble = fastDouble.has_value() == qtDouble.has_value()
        && (!fastDouble || std::memcmp(&*fastDouble, &*qtDouble, sizeof(double)) == 0);
    if (fastInt == qtInt && sameDouble)
        return QByteArray();
    return "conversions differ on \"" + text.toPercentEncoding(" +-.") + '"';
}

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
    double value;
    const quint64 bits = random.generate64();
    std::memcpy(&value, &bits, sizeof value);
    if (random.bounded(2)) // also values of everyday size
        value = std::ldexp(random.generateDouble(), random.bounded(-80, 80));
    return QByteArray::number(value, "ge"[random.bounded(2)], random.bounded(1, 26));
}

} // namespace

class NumbersTest : public QObject
{
    Q_OBJECT
private slots:
    void agreesWithQtOnTrickyTexts()
    {
        const QByteArray halfway = "9007199254740993"; // between two doubles
        const QList<QByteArray> texts = {
            "", " ", "NA", "1", "-1", "+1", " 1", "1 ", "\t1\t", "1\r", "1\n", " +1e-400 ", ".5", "-.5",
            "+.5e-3", "1.", "5.e3", ".", "-", "+", "e5", "1e", "1e+", "1e-", "1E+05", "3.2E-8", "1e5.5",
            "1e+-5", "--1", "1,5", "1 000", "0x10", "0x1p3", "1d5", "nan", "NaN", "-nan", "+nan", "inf",
            "-inf", "INF", "infinity", "-0", "-0.0", "0e0", "00012", "-00012", "00.5", "0e-400", "1e-400",
            "-1e-400", "1e400", "1e-320", "4.9e-324", "2.4703282292062327e-324", "2.2250738585072014e-308",
            "2.2250738585072011e-308", "1.7976931348623157e308", "1.7976931348623159e308",
            "1e0000000000000000000005", "1e99999999999999999999", "0000000000000000000000001", "150.0",
            "1e3", "2147483647", "2147483648", "-2147483648", "-2147483649", "999999999", "-999999999",
            "1234567890", "0.1", "1e23", "8.589973e9", "0.30000000000000004", halfway, halfway + ".0",
            halfway + QByteArray(800, '0') + "1", "0." + QByteArray(400, '0') + "1e390",
            "1" + QByteArray(400, '0'), QByteArray(1000, '9'), QByteArray("1\0", 2), QByteArray("\0" "1", 2),
            "\xff" "1", "1\xc3", "\xd9\xa3", "\xef\xbc\x91", // Arabic-Indic three, fullwidth one
            "\xc2\xa0" "5", "5\xc2\xa0", "\xe3\x80\x80" "5", "\xe2\x88\x92" "5", // odd spaces, MINUS SIGN
        };
        for (const QByteArray &text : texts)
            QVERIFY2(disagreement(text).isEmpty(), disagreement(text).constData());
    }

    void agreesWithQtOnRandomTexts()
    {
        QRandomGenerator random(20240611);
        for (int i = 0; i < 300000; ++i) {
            const QByteArray problem = disagreement(randomText(random, i % 3));
            QVERIFY2(problem.isEmpty(), problem.constData());
        }
    }

    void decimalMagnitude()
    {
        struct Case { QByteArray text; bool negative; double log10; };
        const Case valid[] = {
            {"1e-400", false, -400}, {"2.5e-1000", false, std::log10(2.5) - 1000},
            {"0.0001e-400", false, -404}, {" +1e-400 ", false, -400}, {"-3E-500", true, std::log10(3.0) - 500},
            {"1e400", false, 400}, {".05", false, std::log10(0.05)},
            {"123456789012345678901234567890", false, std::log10(1.2345678901234568e29)},
            {"0.000123456789012345678901234e-300", false, std::log10(1.23456789012345678) - 304},
        };
        for (const Case &c : valid) {
            const auto magnitude = ::decimalMagnitude(c.text);
            QVERIFY2(magnitude && magnitude->negative == c.negative, c.text.constData());
            QVERIFY2(std::fabs(magnitude->log10 - c.log10) <= 1e-12 * std::max(1.0, std::fabs(c.log10)),
                     c.text.constData());
        }
        for (const char *invalid : {"0.000e-5", "", "e5", "1e-", "1e-400x", "1.2.3", "NA", "nan", "inf", "0x10"})
            QVERIFY2(!::decimalMagnitude(invalid), invalid);
    }
};

QTEST_APPLESS_MAIN(NumbersTest)
#include "test_numbers.moc"
