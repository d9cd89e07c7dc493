#include "fields.h"

QList<QByteArrayView> splitFields(QByteArrayView line, const FieldSplitting &s)
{
    QList<QByteArrayView> fields;
    const auto take = [&fields](int, QByteArrayView text) {
        fields.append(text);
        return true;
    };
    if (s.blankRuns)
        forEachField<true>(line, s, take);
    else
        forEachField<false>(line, s, take);
    return fields;
}
