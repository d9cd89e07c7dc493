// What the fast number conversions must hold on any text, checked by the
// fuzzer on random bytes and by the tests on chosen and generated texts:
// toInt32 accepts exactly the texts that QString::toInt (base 10) accepts and
// toDouble exactly those that QString::toDouble accepts, with bit-identical
// values; and the reading of numbers beyond a double's range, which serves
// only texts that Qt refuses, never takes a number that Qt would have read.
#pragma once

#include <QByteArrayView>

// The first rule the conversions break on the text, or nullptr.
const char *brokenNumberRule(QByteArrayView text);
