// The fast number conversions must accept exactly the texts Qt accepts and
// give bit-identical values; decimalMagnitude reads numbers beyond a
// double's range from their text.
#include "data/numbers.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool sameBits(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Empty when toInt32/toDouble agree with Qt on the text, else what differs.
QByteArray disagreement(const QByteArray &text)
{
    const auto fastInt = toInt32(text), qtInt = qtToInt32(text);
    if (fastInt.has_value() != qtInt.has_value() || (fastInt && *fastInt != *qtInt))
        return "toInt32 differs on \"" + text.toPercentEncoding(" +-.") + '"';
    const auto fastDouble = toDouble(text), qtDouble = qtToDouble(text);
    if (fastDouble.has_value() != qtDouble.has_value() || (fastDouble && !sameBits(*fastDouble, *qtDouble)))
        return "toDouble differs on \"" + text.toPercentEncoding(" +-.") + '"';
    return QByteArray();
}

QByteArray randomFrom(QRandomGenerator &random, const char *alphabet, int maxLength)
{
    const int length = random.bounded(maxLength + 1);
    const auto size = int(std::strlen(alphabet));
    QByteArray text;
    for (int i = 0; i < length; ++i)
        text += alphabet[random.bounded(size)];
    return text;
}

// A random number in the plain form "-?D+(.D+)?([eE][+-]?D+)?", sometimes
// with a decoration that sends it to Qt.
QByteArray randomNumberText(QRandomGenerator &random)
{
    // Short mantissas and small exponents are exact in a double; longer
    // ones and far exponents need correct rounding.
    const bool shortForm = random.bounded(2);
    QByteArray text;
    if (random.bounded(3) == 0)
        text += '-';
    text += randomFrom(random, "0000123456789", shortForm ? 8 : 14);
    if (random.bounded(2))
        text += '.' + randomFrom(random, "0123456789", shortForm ? 8 : 24);
    if (random.bounded(2)) {
        text += random.bounded(2) ? 'e' : 'E';
        text += randomFrom(random, "+-", 1);
        text += QByteArray::number(shortForm ? random.bounded(30) : random.bounded(400));
    }
    switch (random.bounded(8)) {
    case 0: return ' ' + text;
    case 1: return text + '\t';
    case 2: return '+' + text;
    default: return text;
    }
}

// A random finite or non-finite double as C's printf writes it.
QByteArray randomPrintedDouble(QRandomGenerator &random)
{
    double value;
    const quint64 bits = random.generate64();
    std::memcpy(&value, &bits, sizeof value);
    if (random.bounded(2)) // also values of everyday size
        value = std::ldexp(random.generateDouble(), random.bounded(-80, 80));
    static const char *const formats[] = {"%.17g", "%g", "%e", "%.3e", "%.25g"};
    char text[64];
    std::snprintf(text, sizeof text, formats[random.bounded(5)], value);
    return text;
}

} // namespace

class NumbersTest : public QObject
{
    Q_OBJECT
private slots:
    void agreesWithQtOnTrickyTexts_data()
    {
        QTest::addColumn<QByteArray>("text");
        const QByteArray halfway = "9007199254740993"; // between two doubles
        const QList<QByteArray> texts = {
            "", " ", "NA", "na", "1", "-1", "+1", " 1", "1 ", "\t1\t", "1\r", "1\n", " +1e-400 ",
            ".5", "-.5", "+.5e-3", "1.", "5.e3", "0.", ".", "-", "+", "e5", "1e", "1e+", "1e-",
            "1e5", "1E+05", "1e-05", "3.2E-8", "1e5.5", "1e+-5", "--1", "+-1", "1,5", "1 000", "1_000",
            "0x10", "0x1p3", "1d5", "nan", "NaN", "NAN", "-nan", "+nan", "inf", "-inf", "+inf", "INF",
            "Inf", "infinity", "-0", "-0.0", "0e0", "0.0", "00", "00012", "-00012", "00.5", "0e-400",
            "1e-400", "-1e-400", "1e400", "-1e400", "1e-320", "4.9e-324", "2.4703282292062327e-324",
            "2.2250738585072014e-308", "2.2250738585072011e-308", "2.225073858507201e-308",
            "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308",
            "1e0000000000000000000005", "1e99999999999999999999", "0000000000000000000000001",
            "150", "150.0", "1e3", "2147483647", "2147483648", "-2147483648", "-2147483649",
            "4294967296", "99999999999", "999999999", "-999999999", "1234567890", "-1234567890",
            "0.1", "1e23", "8.589973e9", "0.30000000000000004", halfway, halfway + ".0",
            halfway + QByteArray(800, '0') + "1", "0." + QByteArray(400, '0') + "1e390",
            "1" + QByteArray(400, '0'), "1" + QByteArray(308, '0'), QByteArray(1000, '9'),
            QByteArray("1\0", 2), QByteArray("\0" "1", 2), "\xff" "1", "1\xc3",
            "\xd9\xa3",                          // ARABIC-INDIC DIGIT THREE
            "\xef\xbc\x91",                      // FULLWIDTH DIGIT ONE
            "\xc2\xa0" "5", "5\xc2\xa0",          // no-break space
            "\xe2\x80\x83" "5", "\xe3\x80\x80" "5", // em space, ideographic space
            "\xe2\x88\x92" "5",                   // MINUS SIGN
        };
        for (qsizetype i = 0; i < texts.size(); ++i)
            QTest::addRow("%d", int(i)) << texts[i];
    }
    void agreesWithQtOnTrickyTexts()
    {
        QFETCH(QByteArray, text);
        QCOMPARE(disagreement(text), QByteArray());
    }

    void agreesWithQtOnRandomTexts()
    {
        QRandomGenerator random(20240611);
        for (int i = 0; i < 300000; ++i) {
            QByteArray text;
            switch (i % 3) {
            case 0: text = randomFrom(random, "0123456789+-.eE xa\t", 10); break;
            case 1: text = randomNumberText(random); break;
            default: text = randomPrintedDouble(random); break;
            }
            const QByteArray problem = disagreement(text);
            if (!problem.isEmpty())
                QFAIL(problem.constData());
        }
    }

    void decimalMagnitude_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("negative");
        QTest::addColumn<double>("log10");
        QTest::newRow("1e-400") << QByteArray("1e-400") << true << false << -400.0;
        QTest::newRow("2.5e-1000") << QByteArray("2.5e-1000") << true << false << std::log10(2.5) - 1000;
        QTest::newRow("leading zeros after point") << QByteArray("0.0001e-400") << true << false << -404.0;
        QTest::newRow("blanks and plus") << QByteArray(" +1e-400 ") << true << false << -400.0;
        QTest::newRow("negative") << QByteArray("-3E-500") << true << true << std::log10(3.0) - 500;
        QTest::newRow("huge") << QByteArray("1e400") << true << false << 400.0;
        QTest::newRow("plain") << QByteArray("1200") << true << false << std::log10(1200.0);
        QTest::newRow("point only in front") << QByteArray(".05") << true << false << std::log10(0.05);
        QTest::newRow("more digits than kept") << QByteArray("123456789012345678901234567890") << true
                                              << false << std::log10(1.2345678901234568e29);
        QTest::newRow("long fraction") << QByteArray("0.000123456789012345678901234e-300") << true << false
                                      << std::log10(1.23456789012345678) - 304;
        QTest::newRow("zero") << QByteArray("0.000e-5") << false << false << 0.0;
        QTest::newRow("empty") << QByteArray("") << false << false << 0.0;
        QTest::newRow("e5") << QByteArray("e5") << false << false << 0.0;
        QTest::newRow("1e") << QByteArray("1e") << false << false << 0.0;
        QTest::newRow("1e-") << QByteArray("1e-") << false << false << 0.0;
        QTest::newRow("garbage after") << QByteArray("1e-400x") << false << false << 0.0;
        QTest::newRow("two points") << QByteArray("1.2.3") << false << false << 0.0;
        QTest::newRow("NA") << QByteArray("NA") << false << false << 0.0;
        QTest::newRow("nan") << QByteArray("nan") << false << false << 0.0;
        QTest::newRow("inf") << QByteArray("inf") << false << false << 0.0;
        QTest::newRow("hex") << QByteArray("0x10") << false << false << 0.0;
    }
    void decimalMagnitude()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(bool, negative);
        QFETCH(double, log10);
        const auto magnitude = ::decimalMagnitude(text);
        QCOMPARE(magnitude.has_value(), valid);
        if (!valid)
            return;
        QCOMPARE(magnitude->negative, negative);
        QVERIFY2(std::fabs(magnitude->log10 - log10) <= 1e-12 * std::max(1.0, std::fabs(log10)),
                 qPrintable(QString::number(magnitude->log10, 'g', 17)));
    }
};

QTEST_APPLESS_MAIN(NumbersTest)
#include "test_numbers.moc"
