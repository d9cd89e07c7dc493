// How data files read, as cases: tests/cases/read/NAME.case, one file per
// layout or rule, holding a data file and what the loads make of it. Each
// case is read as written, in tiny chunks on three threads (so that chunk
// borders fall everywhere), gzipped (one member, and two, with seek points a
// few bytes apart), bgzipped (tiny blocks, and two files one after the
// other), zstd-compressed, and a VCF case also as BCF, all to the same
// dump; with "damaged: yes" also
// cut short or with a byte changed, which both loads
// must report (or, for a byte that nothing checks, read alike); every load
// is held to the fuzzer's invariants (fuzz/invariants.h).
//
// A case file:
//   # what the case shows (comment lines, at the top)
//   damaged: yes        optional
//   [input]
//   the data file (its lines and escapes: support/casefile.h)
//   [changed]           optional: the file's content once it changed on disk
//                       (of another size: same time; of the same size: newer)
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
#include "support/casefile.h"
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

Case parseCase(const QByteArray &text)
{
    const CaseFile file = parseCaseFile(text);
    Case c;
    c.damaged = file.values("damaged").contains("yes");
    for (const CaseSection &s : file.sections) {
        if (s.name == "expected")
            c.expected = s.lines.join('\n').trimmed() + '\n';
        else
            (s.name == "input" ? c.input : c.changed) = caseBytes(s.lines);
    }
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

// The file's content replaced. A file of another size keeps its
// modification time, one of the same size gets a newer one, so that each
// tells the change on its own.
void change(const QString &path, const QByteArray &bytes, const FileStamp &seen)
{
    writeFile(path, bytes);
    QFile file(path);
    const QDateTime time = file.size() == seen.size ? seen.modified.addSecs(1) : seen.modified;
    if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(time, QFileDevice::FileModificationTime))
        qFatal("cannot set the time of %s", qPrintable(path));
}

// A form of the case's bytes on disk, and how the genome-wide load reads them.
struct Form {
    const char *name;
    std::function<QByteArray(const QByteArray &)> pack;
    LoadOptions options;
};

LoadOptions inChunks(qsizetype chunkSize, qint64 seekPointDistance = LoadOptions().seekPointDistance)
{
    LoadOptions options;
    options.chunkSize = chunkSize;
    options.threads = 3;
    options.seekPointDistance = seekPointDistance;
    return options;
}

QByteArray dump(const QString &path, const Case &c, const Form &form)
{
    writeFile(path, form.pack(c.input));
    const GenomeWide g = loadGenomeWide(path, form.options);
    QStringList out;
    for (const QString &line : genomeWideLog(g))
        out << "log: " + line;
    if (const QString broken = brokenLoadRule(g, path); !broken.isEmpty())
        out << "broken rule: " + broken;
    const ChromosomeTable &t = g.table;
    for (qsizetype k = 0; g.fault == Fault::None && k < t.tags.size(); ++k) {
        const int first = t.startIndex[k], count = t.endIndex[k] - first + 1;
        out << QString("run %1 red %2 index %3-%4 x %5-%6").arg(labelText(t.tags[k])).arg(t.colorValue[k]).arg(first)
                   .arg(t.endIndex[k]).arg(t.startValue[k]).arg(t.endValue[k]);
        const ChromosomeRun pick = loadChromosome(path, g.stamp, t.startOffset[k], t.tags[k], count, g.seekPoints);
        out << "  pick: " + runText(pick);
        // From an offset the file does not reach, a pick reads nothing from elsewhere.
        const ChromosomeRun far = loadRun(path, std::numeric_limits<qint64>::max(), t.tags[k], count, g.seekPoints);
        if (!far.positions.isEmpty() || (far.fault != Fault::TooFewRowsChromosome && far.fault != Fault::DamagedCompressed))
            out << "broken rule: a pick past the end gave " + runText(far);
        if (pick.fault != Fault::None)
            out << "  points: " + points(g.x.mid(first, count), g.scores.mid(first, count));
        const QString block = runText(loadFirstBlock(path, t.tags[k]));
        out << "  first block: " + (block == runText(pick) ? QString("as pick") : block);
    }
    if (g.fault == Fault::None && !c.changed.isNull()) {
        change(path, form.pack(c.changed), g.stamp);
        for (qsizetype k = 0; k < t.tags.size(); ++k) {
            const int count = t.endIndex[k] - t.startIndex[k] + 1;
            out << QString("pick %1 after change: ").arg(k)
                       + runText(loadChromosome(path, g.stamp, t.startOffset[k], t.tags[k], count, g.seekPoints));
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

bool isVcfCase(const Case &c)
{
    return c.input.startsWith("##fileformat=VCF");
}

const auto kAsWritten = [](const QByteArray &b) { return b; };

const QList<Form> kForms = {
    {"plain", kAsWritten, {}},
    {"chunks of 1 byte", kAsWritten, inChunks(1)},
    {"chunks of 7 bytes", kAsWritten, inChunks(7)},
    {"chunks of 300 bytes", kAsWritten, inChunks(300)},
    {"gzip", [](const QByteArray &b) { return gzipped(b); }, {}},
    {"gzip, two members, seek points 25 bytes apart",
     [](const QByteArray &b) { return halves(b, [](const QByteArray &h, int) { return gzipped(h); }); },
     inChunks(64, 25)},
    {"bgzip, 7-byte blocks", [](const QByteArray &b) { return bgzipped(b, 7); }, inChunks(13)},
    {"bgzip, two files", [](const QByteArray &b) { return halves(b, bgzipped); }, {}},
    {"zstd", [](const QByteArray &b) { return zstdCompressed(b); }, inChunks(29)},
};

// Cut short anywhere, the genome-wide load must say so; with any one byte
// changed, say so or read just what the intact file gave. Cut short at the
// end (gzip without the end of its trailer, bgzip without its end-of-file
// block, zstd without the end of its checksum), a pick from the intact
// file's offsets must say so too.
QStringList damageMissed(const QString &path, const Case &c)
{
    QStringList missed;
    // Each with the length of its magic bytes (changed or cut there, the
    // file is no longer taken for that format) and of its trailer.
    for (const auto &[name, packed, magic, cut] : {std::tuple("gzip", gzipped(c.input), 2, 3),
                                                   std::tuple("bgzip", bgzipped(c.input, 64), 2, 28),
                                                   std::tuple("zstd", zstdCompressed(c.input), 4, 2)}) {
        if (isVcfCase(c) && QByteArray(name) == "zstd")
            continue;
        writeFile(path, packed);
        const GenomeWide intact = loadGenomeWide(path);
        for (qsizetype at = magic; at < packed.size(); ++at) {
            if (loadGenomeWide(writeFile(path, packed.first(at))).fault != Fault::DamagedCompressed)
                missed << QString("%1 cut to %2 bytes").arg(name).arg(at);
            QByteArray changed = packed;
            changed[at] = char(changed[at] ^ 0x21);
            const GenomeWide g = loadGenomeWide(writeFile(path, changed));
            if (g.fault != Fault::DamagedCompressed
                && (g.x != intact.x || g.scores != intact.scores || g.table.tags != intact.table.tags))
                missed << QString("%1 with byte %2 changed").arg(name).arg(at);
        }
        writeFile(path, packed.chopped(cut));
        const ChromosomeTable &t = intact.table;
        for (qsizetype k = 0; k < t.tags.size(); ++k) {
            const int count = t.endIndex[k] - t.startIndex[k] + 1;
            if (loadRun(path, t.startOffset[k], t.tags[k], count, intact.seekPoints).fault != Fault::DamagedCompressed
                || loadFirstBlock(path, t.tags[k]).fault != Fault::DamagedCompressed)
                missed << QString("%1: a pick of run %2").arg(name).arg(k);
        }
    }
    return missed;
}

} // namespace

class ReadCasesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void cases_data() { addCaseRows(TIVREL_CASES_DIR "/read"); }

    void cases()
    {
        QFETCH(QString, file);
        const Case c = parseCase(readFile(file));
        QVERIFY2(!c.input.isNull(), "no [input]");
        const QString path = dir.filePath("data");
        const QByteArray plain = dump(path, c, kForms[0]);
        QCOMPARE(caseMismatch(file, c.expected, plain, "[expected]\n"), QString());
        QList<Form> forms = kForms;
        if (isVcfCase(c)) {
            // htslib reads VCF plain, gzipped and bgzipped only.
            forms.removeIf([](const Form &form) { return QByteArray(form.name) == "zstd"; });
            if (!toBcf(c.input).isNull())
                forms.append({"bcf", toBcf, {}});
        }
        // Under the thread sanitizer only the loads whose tiny chunks go to
        // several threads matter (a case's text is one default chunk).
        const bool threadsOnly = qEnvironmentVariableIsSet("TIVREL_THREADED_FORMS_ONLY");
        if (threadsOnly)
            forms.removeIf([](const Form &form) { return form.options.chunkSize >= LoadOptions().chunkSize; });
        for (const Form &form : forms)
            QCOMPARE(form.name + QString(": ") + firstDifference(dump(path, c, form), plain),
                     form.name + QString(": "));
        if (c.damaged && !threadsOnly)
            QCOMPARE(damageMissed(path, c).join("; "), QString());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ReadCasesTest test;
    return runCaseDriver(test, app.arguments());
}

#include "test_readcases.moc"
