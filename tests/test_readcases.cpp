// How data files read, as cases: tests/cases/read/NAME.case, one file per
// layout or rule, holding a data file and what the loads make of it. Each
// case is read as written, gzipped (one member, and two), bgzipped (tiny
// blocks, and two files one after the other), and a VCF case also as BCF, all
// to the same dump; with "damaged: yes" also cut short, which both loads must
// report; and every load is held to the fuzzer's invariants (fuzz/invariants.h).
//
// A case file:
//   # what the case shows (comment lines, at the top)
//   damaged: yes        optional
//   [input]
//   the data file, a line feed after each line except one ending in a lone
//   "\"; escapes: \t TAB, \r CR, \0 NUL, \xHH any byte, \\ a backslash
//   [changed]           optional: the file's content once it changed on disk
//   [expected]
//   the dump
//
// The dump: the genome-wide load's log lines ("log: ..."); then for each run
// of its table the label, red, first and last index, first and last x; the
// points a pick of the run reads back ("pick: position score, ..."), or its
// fault and the run's points as loaded ("points: x score, ..."); the label's
// first block read from the start of the file; with [changed], what each pick
// reads after the change. Scores are written in the shortest form that reads
// back as the same double.
//
//   test_readcases --update   adds the dump to each case that has none;
//                             review it by hand before committing it.
#include "data/loads.h"
#include "fuzz/invariants.h"
#include "support/testsupport.h"

#include <htslib/vcf.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

struct Case {
    QByteArray input, changed;
    bool damaged = false;
    QByteArray expected; // null: none yet
};

QByteArray unescape(const QByteArray &text)
{
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            bytes += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x') {
            bytes += char(text.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else {
            bytes += c == 't' ? '\t' : c == 'r' ? '\r' : c == '0' ? '\0' : c;
        }
    }
    return bytes;
}

Case parseCase(const QByteArray &text)
{
    Case c;
    QByteArray *section = nullptr;
    for (const QByteArray &line : text.split('\n')) {
        if (line == "[input]" || line == "[changed]" || line == "[expected]") {
            section = line == "[input]" ? &c.input : line == "[changed]" ? &c.changed : &c.expected;
            *section = QByteArray(""); // present, even when empty
        } else if (section == &c.expected) {
            c.expected += line + '\n';
        } else if (section) {
            const bool joined = line.endsWith('\\') && !line.endsWith("\\\\");
            *section += unescape(joined ? line.chopped(1) : line) + (joined ? "" : "\n");
        } else if (line == "damaged: yes") {
            c.damaged = true;
        }
    }
    if (!c.expected.isNull())
        c.expected = c.expected.trimmed() + '\n';
    // The split leaves one line after the last line feed of each section.
    for (QByteArray *s : {&c.input, &c.changed})
        if (s->endsWith('\n'))
            s->chop(1);
    return c;
}

QString labelText(const QString &label)
{
    QString text;
    for (const QChar ch : label)
        text += ch == '\\' || ch == '"' ? QString('\\') + ch
              : ch.unicode() < 0x20     ? QString("\\x%1").arg(ch.unicode(), 2, 16, QChar('0'))
                                        : QString(ch);
    return '"' + text + '"';
}

QString points(const QList<int> &positions, const QList<double> &scores)
{
    QStringList parts;
    for (qsizetype i = 0; i < positions.size(); ++i)
        parts << QString::number(positions[i]) + ' ' + QString::number(scores[i], 'g', QLocale::FloatingPointShortest);
    return parts.join(", ");
}

QString runText(const ChromosomeRun &run)
{
    return run.fault != Fault::None ? faultMessage(run.fault) : points(run.positions, run.scores);
}

// The file's content replaced: a newer modification time, whatever its size.
void change(const QString &path, const QByteArray &bytes, const FileStamp &seen)
{
    writeFile(path, bytes);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)
        || !file.setFileTime(seen.modified.addSecs(1), QFileDevice::FileModificationTime))
        qFatal("cannot set the time of %s", qPrintable(path));
}

using Form = std::function<QByteArray(const QByteArray &)>;

QByteArray dump(const QString &path, const Case &c, const Form &form)
{
    writeFile(path, form(c.input));
    const GenomeWide g = loadGenomeWide(path);
    QStringList out;
    for (const QString &line : genomeWideLog(g))
        out << "log: " + line;
    if (const QString broken = brokenLoadRule(g, path); !broken.isEmpty())
        out << "broken rule: " + broken;
    const ChromosomeTable &t = g.table;
    for (qsizetype k = 0; g.fault == Fault::None && k < t.tags.size(); ++k) {
        const int first = t.startIndex[k], count = t.endIndex[k] - first + 1;
        out << QString("run %1 red %2 index %3-%4 x %5-%6")
                   .arg(labelText(t.tags[k]))
                   .arg(t.colorValue[k])
                   .arg(first)
                   .arg(t.endIndex[k])
                   .arg(t.startValue[k])
                   .arg(t.endValue[k]);
        const ChromosomeRun pick = loadChromosome(path, g.stamp, t.startOffset[k], t.tags[k], count);
        out << "  pick: " + runText(pick);
        if (pick.fault != Fault::None)
            out << "  points: " + points(g.x.mid(first, count), g.scores.mid(first, count));
        const QString block = runText(loadFirstBlock(path, t.tags[k]));
        out << "  first block: " + (block == runText(pick) ? QString("as pick") : block);
    }
    if (g.fault == Fault::None && !c.changed.isNull()) {
        change(path, form(c.changed), g.stamp);
        for (qsizetype k = 0; k < t.tags.size(); ++k) {
            const int count = t.endIndex[k] - t.startIndex[k] + 1;
            out << QString("pick %1 after change: ").arg(k)
                       + runText(loadChromosome(path, g.stamp, t.startOffset[k], t.tags[k], count));
        }
    }
    return out.join('\n').toUtf8() + '\n';
}

QByteArray halves(const QByteArray &bytes, QByteArray (*pack)(const QByteArray &, int))
{
    const qsizetype half = bytes.size() / 2;
    return pack(bytes.first(half), 0) + pack(bytes.sliced(half), 0);
}

// A VCF case's text as BCF, written by htslib; null where a record does not
// convert.
QByteArray toBcf(const QByteArray &vcf)
{
    QTemporaryDir dir;
    const QByteArray in = QFile::encodeName(writeFile(dir.filePath("in.vcf"), vcf));
    const QByteArray out = QFile::encodeName(dir.filePath("out.bcf"));
    htsFile *from = hts_open(in.constData(), "r"), *to = hts_open(out.constData(), "wb");
    bcf_hdr_t *header = from ? bcf_hdr_read(from) : nullptr;
    bcf1_t *record = bcf_init();
    int status = header && to && bcf_hdr_write(to, header) == 0 ? 0 : -2;
    while (status == 0 && (status = bcf_read(from, header, record)) == 0)
        status = bcf_write(to, header, record) == 0 && record->errcode == 0 ? 0 : -2;
    bcf_destroy(record);
    if (header)
        bcf_hdr_destroy(header);
    const bool closed = (!from || hts_close(from) == 0) && (!to || hts_close(to) == 0);
    return status == -1 && closed ? readFile(out) : QByteArray();
}

const QList<std::pair<const char *, Form>> kForms = {
    {"plain", [](const QByteArray &b) { return b; }},
    {"gzip", [](const QByteArray &b) { return gzipped(b); }},
    {"gzip, two members", [](const QByteArray &b) {
         return halves(b, [](const QByteArray &h, int) { return gzipped(h); });
     }},
    {"bgzip, 7-byte blocks", [](const QByteArray &b) { return bgzipped(b, 7); }},
    {"bgzip, two files", [](const QByteArray &b) { return halves(b, bgzipped); }},
};

// Cut short: gzip without the end of its trailer, bgzip without its
// end-of-file block. Both loads must say so, a pick from the offsets the
// intact file gave too.
QStringList damageMissed(const QString &path, const Case &c)
{
    QStringList missed;
    const QString damaged = faultMessage(Fault::DamagedCompressed);
    for (const auto &[name, packed] : {std::pair("gzip", gzipped(c.input)), std::pair("bgzip", bgzipped(c.input, 7))}) {
        writeFile(path, packed);
        const GenomeWide intact = loadGenomeWide(path);
        writeFile(path, packed.chopped(name == QLatin1String("gzip") ? 3 : 28));
        const QStringList log = genomeWideLog(loadGenomeWide(path));
        if (log.isEmpty() || log.last() != damaged)
            missed << QString(name) + ": the genome-wide load";
        const ChromosomeTable &t = intact.table;
        for (qsizetype k = 0; k < t.tags.size(); ++k) {
            const int count = t.endIndex[k] - t.startIndex[k] + 1;
            if (loadRun(path, t.startOffset[k], t.tags[k], count).fault != Fault::DamagedCompressed
                || loadFirstBlock(path, t.tags[k]).fault != Fault::DamagedCompressed)
                missed << QString("%1: a pick of run %2").arg(name).arg(k);
        }
    }
    return missed;
}

// Where two dumps part: the first line that differs (none: empty).
QString firstDifference(const QByteArray &actual, const QByteArray &expected)
{
    const QList<QByteArray> a = actual.split('\n'), e = expected.split('\n');
    qsizetype i = 0;
    while (i < std::max(a.size(), e.size()) && a.value(i) == e.value(i))
        ++i;
    if (i == std::max(a.size(), e.size()))
        return QString();
    return QString("line %1: expected \"%2\", got \"%3\"").arg(i + 1).arg(e.value(i), a.value(i));
}

const QString kCases = QStringLiteral(TIVREL_CASES_DIR "/read");
bool update = false;

} // namespace

class ReadCasesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void cases_data()
    {
        QTest::addColumn<QString>("file");
        const QStringList names = QDir(kCases).entryList({"*.case"}, QDir::Files, QDir::Name);
        QVERIFY(!names.isEmpty());
        for (const QString &name : names)
            QTest::newRow(qPrintable(name.chopped(5))) << kCases + '/' + name;
    }

    void cases()
    {
        QFETCH(QString, file);
        const QByteArray text = readFile(file);
        const Case c = parseCase(text);
        QVERIFY2(!c.input.isNull(), "no [input]");
        const QString path = dir.filePath("data");
        const QByteArray plain = dump(path, c, kForms[0].second);
        if (c.expected.isNull()) {
            QVERIFY2(update, "no [expected]: run test_readcases --update, then review the dump");
            writeFile(file, text + (text.endsWith('\n') ? "" : "\n") + "[expected]\n" + plain);
            return;
        }
        QCOMPARE(firstDifference(plain, c.expected), QString());
        QList<std::pair<const char *, Form>> forms = kForms;
        if (c.input.startsWith("##fileformat=VCF") && !toBcf(c.input).isNull())
            forms.append({"bcf", toBcf});
        for (const auto &[name, form] : forms)
            QCOMPARE(name + QString(": ") + firstDifference(dump(path, c, form), plain), name + QString(": "));
        if (c.damaged)
            QCOMPARE(damageMissed(path, c), QStringList());
    }
};

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    update = args.removeAll("--update") > 0;
    QCoreApplication app(argc, argv);
    ReadCasesTest test;
    return QTest::qExec(&test, args);
}

#include "test_readcases.moc"
