#include "fields.h"

namespace {

template <bool blankRuns, bool quoted>
QList<QByteArrayView> allFields(QByteArrayView line, char delimiter)
{
    QList<QByteArrayView> fields;
    FieldCursor<blankRuns, quoted> cursor(line, delimiter);
    do
        fields.append(cursor.next());
    while (!cursor.atEnd());
    return fields;
}

} // namespace

QList<QByteArrayView> splitFields(QByteArrayView line, const FieldSplitting &s)
{
    if (s.blankRuns)
        return s.unquote ? allFields<true, true>(line, s.delimiter) : allFields<true, false>(line, s.delimiter);
    return s.unquote ? allFields<false, true>(line, s.delimiter) : allFields<false, false>(line, s.delimiter);
}
