// A user who does random things: boxes anywhere, buttons clicked or reached
// by their Alt keys (hidden ones too), check boxes, typed ranges, saves and
// new files, on small generated files whose chromosomes share scores and
// positions. After each action the window must agree with a model kept here,
// worked out from the rules alone: the points on show and the remaining
// points, the picture on show (drawn by the reference painters), what each
// save wrote, the log, and which controls are visible.
//
// The seeds are fixed; TIVREL_RANDOM_SEED=N runs one session with seed N.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/loads.h"
#include "support/reference.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRubberBand>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

const QString kHint = "HINT: Draw a box in or around a chromosome to select an entire chromsome";
const char *const kChromosomeControls[] = {"checkBox1", "checkBox2", "globalButton", "unzoomButton",
                                           "removeButton", "saveRemoveButton", "lineEdit1", "lineEdit2"};

struct Points {
    QList<int> positions;
    QList<double> values;
    bool operator==(const Points &o) const { return positions == o.positions && values == o.values; }
};

QString streamed(double v)
{
    QString text;
    QTextStream(&text) << v;
    return text;
}

QString describe(const Points &p)
{
    QStringList items;
    for (int i = 0; i < p.positions.size(); ++i)
        items << QString("%1/%2").arg(p.positions[i]).arg(p.values[i]);
    return "[" + items.join(' ') + "]";
}

class Session
{
public:
    Session(quint32 seed, int actions) : rng_(seed), seed_(seed), actions_(actions) {}

    // Empty when every action kept the window and the model in step.
    QString run()
    {
        screen_ = QGuiApplication::primaryScreen()->geometry().size();
        openFirst();
        for (int i = 0; i < actions_ && failure_.isEmpty(); ++i) {
            act();
            if (failure_.isEmpty())
                compare();
            if (!failure_.isEmpty())
                failure_ = QString("seed %1 (TIVREL_RANDOM_SEED=%1), action %2: %3\n  %4\nlast actions:\n  %5")
                               .arg(seed_).arg(i).arg(history_.value(history_.size() - 1), failure_,
                                                      history_.mid(std::max<qsizetype>(0, history_.size() - 12))
                                                          .join("\n  "));
        }
        return failure_;
    }

private:
    // --- Files ---------------------------------------------------------

    struct Run {
        QString label;
        Points points; // base-pair positions and scores as loaded
    };

    // 1 to 4 chromosome runs of 2 to 7 rows; labels may come back; scores
    // and positions repeat, so plots of one score or one position occur.
    QString newDataFile()
    {
        const QStringList labels{"1", "2", "X", "chr10"};
        const QStringList pValues{"0.5", "0.01", "1e-3", "1e-5", "1e-8", "3.2e-8", "0.2"};
        const int runs = rng_.bounded(5) == 0 ? 1 : 2 + int(rng_.bounded(3));
        QByteArray text = "CHR\tPOS\tP\n";
        QString previous;
        for (int r = 0; r < runs; ++r) {
            QString label;
            do
                label = labels[int(rng_.bounded(labels.size()))];
            while (label == previous);
            previous = label;
            int position = int(rng_.bounded(50000));
            for (int n = 2 + int(rng_.bounded(6)); n > 0; --n) {
                text += label.toUtf8() + "\t" + QByteArray::number(position) + "\t"
                    + pValues[int(rng_.bounded(pValues.size()))].toUtf8() + "\n";
                const int step = rng_.bounded(4) == 0 ? 0 : int(rng_.bounded(3000));
                position += rng_.bounded(8) == 0 ? -step : step;
            }
        }
        return writeFile(QString("data%1.txt").arg(++files_), text);
    }

    void load(const QString &path)
    {
        const GenomeWide g = loadGenomeWide(path); // read as the loads tests check it
        runs_.clear();
        const ChromosomeTable &t = g.table;
        for (int k = 0; k < t.tags.size(); ++k) {
            Run run{t.tags[k], {}};
            run.points.values = g.scores.mid(t.startIndex[k], t.endIndex[k] - t.startIndex[k] + 1);
            runs_.append(run);
        }
        // The runs' base-pair positions, in file order.
        const QList<QByteArray> lines = readFile(path).split('\n');
        int k = 0;
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].split('\t');
            if (fields.size() < 3)
                continue;
            if (runs_[k].points.positions.size() == runs_[k].points.values.size())
                ++k;
            runs_[k].points.positions.append(fields[1].toInt());
        }
        shortName_ = QFileInfo(path).fileName();
        dataPath_ = path;
        table_ = {t.startValue, t.colorValue, t.tags};
        endValue_ = t.endValue;
        log_ = kLogHeader;
        QStringList seen; // the first label that comes back is told
        for (const Run &run : runs_) {
            if (seen.contains(run.label)) {
                log_ += QString("Data file is not sorted by chromosome (\"%1\" comes back after \"%2\"): each run of "
                                "a chromosome is drawn on its own\n").arg(run.label, seen.last()).toUtf8();
                break;
            }
            seen << run.label;
        }
        if (runs_.size() == 1) {
            chromosomeView(0);
        } else {
            shown_ = remaining_ = {g.x, g.scores};
            global_ = geometry();
            genomePicture_ = referenceGenomeWide(g.x, g.scores, int(g.x.size()), global_, stripes_, table_,
                                                 shortName_);
            log_ += "Get GLOBAL\n";
            genomeView();
        }
    }

    void openFirst()
    {
        const QString path = newDataFile();
        answerFileDialog(path);
        window_ = std::make_unique<MyWidget>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        stripes_ = true;
        load(path);
        history_ << "open " + path;
        compare();
    }

    // --- The model's operations ----------------------------------------

    ReferenceGeometry geometry() const { return referenceGeometry(shown_.positions, shown_.values, screen_); }

    void genomeView()
    {
        genome_ = true;
        picture_ = genomePicture_;
    }

    void chromosomeView(int k)
    {
        selected_ = k;
        log_ += "selected chromosome by getManhattan " + runs_[k].label.toUtf8() + "\n";
        shown_ = remaining_ = runs_[k].points;
        redraw();
    }

    void redraw()
    {
        genome_ = false;
        local_ = referenceChromosome(shown_.positions, shown_.values, int(shown_.positions.size()), geometry(),
                                     stripes_, segments_, edit1_, edit2_);
        picture_ = local_;
    }

    void pick(int x1, int x2)
    {
        const int point = (x1 + x2) / 2;
        const qint64 position = global_.positionAt(point);
        int k = 0;
        for (int i = 0; i < table_.startValue.size(); ++i)
            if (table_.startValue[i] <= position && position <= endValue_[i]) {
                k = i;
                break;
            }
        log_ += QString("select chrom %1 %2 point %3 position %4 start %5 end %6 pixPerX %7 minX %8\n\n")
                    .arg(runs_[k].label).arg(k).arg(point).arg(position).arg(table_.startValue[k])
                    .arg(endValue_[k]).arg(streamed(global_.pixPerX)).arg(global_.minX).toUtf8();
        chromosomeView(k);
    }

    void zoom(int x1, int y1, int x2, int y2)
    {
        const ReferenceGeometry g = geometry();
        const qint64 lo = std::min(g.positionAt(x1), g.positionAt(x2)), hi = std::max(g.positionAt(x1), g.positionAt(x2));
        const double top = std::max(g.valueAt(y1), g.valueAt(y2)), bottom = std::min(g.valueAt(y1), g.valueAt(y2));
        history_.last() += QString(" on %1: %2..%3 x %4..%5").arg(describe(shown_)).arg(lo).arg(hi).arg(bottom).arg(top);
        Points inside;
        for (int i = 0; i < shown_.positions.size(); ++i) {
            const int p = shown_.positions[i];
            const double v = shown_.values[i];
            if (lo <= p && p <= hi && bottom <= v && v <= top) {
                inside.positions.append(p);
                inside.values.append(v);
            }
        }
        shown_ = inside;
        redraw();
    }

    // What "&Remove Selection" leaves: the remaining points outside the
    // area of the plot on show.
    void remove()
    {
        const ReferenceGeometry g = geometry();
        Points rest;
        for (int i = 0; i < remaining_.positions.size(); ++i) {
            if (!g.inArea(remaining_.positions[i], remaining_.values[i])) {
                rest.positions.append(remaining_.positions[i]);
                rest.values.append(remaining_.values[i]);
            }
        }
        shown_ = remaining_ = rest;
        redraw();
    }

    QByteArray savedRows() const
    {
        QByteArray text = kSaveHeader;
        for (int i = 0; i < shown_.positions.size(); ++i) {
            const double v = shown_.values[i];
            text += QString("%1\t%2\t%3\t%4\n").arg(runs_[selected_].label).arg(shown_.positions[i])
                        .arg(streamed(1 / std::pow(10.0, v)), streamed(v)).toUtf8();
        }
        return text;
    }

    // --- The user's actions ----------------------------------------------

    bool visible(const char *name) const { return widgetOf(window_.get(), name)->isVisibleTo(window_.get()); }

    void act()
    {
        const int what = int(rng_.bounded(100));
        if (what < 40)
            box();
        else if (what < 80)
            button("ngursa"[rng_.bounded(6)]);
        else if (what < 90)
            toggle(rng_.bounded(2) ? "checkBox1" : "checkBox2");
        else
            type();
    }

    double coordinate(int size, double near)
    {
        if (rng_.bounded(2))
            return near + rng_.bounded(60.0) - 30;
        return rng_.bounded(size + 40.0) - 20;
    }

    // A box anywhere, often around a point on show, with any button.
    void box()
    {
        QLabel *image = imageLabelOf(window_.get());
        const int w = image->width(), h = image->height();
        QPointF near(w / 2.0, h / 2.0);
        if (!shown_.positions.isEmpty()) {
            const ReferenceGeometry g = genome_ ? global_ : geometry();
            const int i = int(rng_.bounded(shown_.positions.size()));
            near = QPointF(g.column(shown_.positions[i]), g.row(shown_.values[i]));
        }
        const QPointF from(coordinate(w, near.x()), coordinate(h, near.y()));
        QPointF to(coordinate(w, near.x()), coordinate(h, near.y()));
        if (rng_.bounded(10) == 0)
            to.setY(from.y()); // no height
        const Qt::MouseButton button = QList{Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}[rng_.bounded(3)];
        history_ << QString("box (%1, %2) to (%3, %4)").arg(from.x()).arg(from.y()).arg(to.x()).arg(to.y());
        drag(window_.get(), from, to, button);

        // Whole pixels by truncation, clamped to the label, in order.
        int x1 = std::clamp(int(from.x()), 0, w), y1 = std::clamp(int(from.y()), 0, h);
        int x2 = std::clamp(int(to.x()), 0, w), y2 = std::clamp(int(to.y()), 0, h);
        if (x1 > x2)
            std::swap(x1, x2);
        if (y1 > y2)
            std::swap(y1, y2);
        rubberBand_ = x1 == x2 || y1 == y2;
        if (rubberBand_)
            return;
        if (genome_)
            pick(x1, x2);
        else
            zoom(x1, y1, x2, y2);
    }

    void button(char key)
    {
        const char *names[] = {"newFileButton", "globalButton", "unzoomButton",
                               "removeButton",  "saveButton",   "saveRemoveButton"};
        const char *name = names[QByteArray("ngursa").indexOf(key)];
        const bool byKey = rng_.bounded(8) == 0 || !visible(name);
        history_ << QString("%1 %2").arg(byKey ? "Alt+" + QString(QChar(key)).toUpper() : "click", name);
        const auto press = [&] { byKey ? altKey(window_.get(), key) : click(window_.get(), name); };
        if (!visible(name)) { // a hidden button's key does nothing
            press();
            return;
        }
        switch (key) {
        case 'n':
            return newFile(press);
        case 'g':
            press();
            if (runs_.size() >= 2)
                genomeView();
            return;
        case 'u':
            press();
            shown_ = remaining_;
            return redraw();
        case 'r':
            press();
            return remove();
        default:
            return save(key == 'a', press);
        }
    }

    void newFile(const std::function<void()> &press)
    {
        const bool cancel = rng_.bounded(4) == 0;
        const QString path = cancel ? QString() : newDataFile();
        history_.last() += cancel ? " (cancelled)" : " " + path;
        answerFileDialog(path);
        press();
        if (cancel)
            log_ = kLogHeader;
        else
            load(path);
    }

    void save(bool andRemove, const std::function<void()> &press)
    {
        if (genome_) {
            QFile::remove(shortName_ + ".png");
            press();
            const QString difference = imageDifference(QImage(shortName_ + ".png"), genomePicture_);
            if (!difference.isEmpty())
                failure_ = "genome-wide picture saved: " + difference;
            return;
        }
        const int kind = int(rng_.bounded(10));
        QString answer = QString("s%1").arg(++saves_);
        if (kind == 0)
            answer = QString(); // cancelled
        else if (kind == 1)
            answer = "";
        else if (kind == 2)
            answer += ".txt";
        else if (kind == 3)
            answer += QString(60, QChar('n')); // offered again cut to 50 bytes
        history_.last() += " answer " + (answer.isNull() ? QString("cancel") : '"' + answer + '"');
        TextDialogAnswers dialog({answer});
        press();
        QTest::qWait(0);
        if (dialog.asked.size() != 1 || dialog.asked[0] != QStringList{"Enter new filename", "File name * or *.txt",
                                                                       offered_}) {
            failure_ = "the name dialog asked " + QVariant(QVariant::fromValue(dialog.asked)).toString();
            return;
        }
        if (answer.isEmpty())
            return;
        offered_ = answer.left(50);
        const QString data = answer.endsWith(".txt") ? answer : answer + ".txt";
        const QString image = data.chopped(4) + ".png";
        if (readFile(data) != savedRows())
            failure_ = QString("%1 holds\n%2\nexpected\n%3").arg(data, readFile(data), savedRows());
        else if (const QString difference = imageDifference(QImage(image), local_); !difference.isEmpty())
            failure_ = "picture saved: " + difference;
        if (andRemove)
            remove();
    }

    void toggle(const char *name)
    {
        history_ << QString("toggle %1").arg(name);
        if (!visible(name))
            return;
        qobject_cast<QCheckBox *>(widgetOf(window_.get(), name))->click();
        (name[8] == '1' ? segments_ : stripes_) ^= true;
        redraw();
    }

    // A range typed into the line edits: redraws nothing until the next
    // redraw reads it.
    void type()
    {
        if (!visible("lineEdit1"))
            return;
        const auto somePosition = [&] {
            return runs_[selected_].points.positions.value(int(rng_.bounded(runs_[selected_].points.positions.size())));
        };
        QString text1, text2;
        switch (rng_.bounded(4)) {
        case 0:
            text1 = QString("%1-%2").arg(somePosition()).arg(somePosition());
            break;
        case 1:
            text1 = QString::number(somePosition());
            text2 = QString::number(somePosition());
            break;
        case 2:
            text1 = "x";
            break;
        default:
            break;
        }
        history_ << QString("type \"%1\" and \"%2\"").arg(text1, text2);
        for (auto [name, text] : {std::pair{"lineEdit1", text1}, std::pair{"lineEdit2", text2}}) {
            auto *edit = qobject_cast<QLineEdit *>(widgetOf(window_.get(), name));
            edit->clear();
            QTest::keyClicks(edit, text);
        }
        edit1_ = text1;
        edit2_ = text2;
    }

    // --- What the window must show -----------------------------------------

    void compare()
    {
        if (!failure_.isEmpty())
            return;
        QStringList hidden;
        for (const char *name : kChromosomeControls)
            if (!visible(name))
                hidden << name;
        const QString view = QString("flag %1, hidden %2, hint \"%3\", file \"%4\"")
                                 .arg(globaldisplay).arg(hidden.join(' '),
                                                         qobject_cast<QLabel *>(widgetOf(window_.get(), "hintLabel"))->text(),
                                                         qobject_cast<QLabel *>(widgetOf(window_.get(), "fileNameLabel"))->text());
        const QString expectedView = QString("flag %1, hidden %2, hint \"%3\", file \"%4\"")
                                         .arg(genome_ ? 1 : 0)
                                         .arg(genome_ ? QStringList(std::begin(kChromosomeControls),
                                                                    std::end(kChromosomeControls)).join(' ')
                                                      : QString(),
                                              genome_ ? kHint : QString(), shortName_);
        const Points shown{Pos_list, Value_list}, remaining{Pos_list2, Value_list2};
        if (view != expectedView)
            failure_ = "view: " + view + "\n  expected " + expectedView;
        else if (!(shown == shown_))
            failure_ = "points on show " + describe(shown) + ", expected " + describe(shown_);
        else if (!(remaining == remaining_))
            failure_ = "remaining points " + describe(remaining) + ", expected " + describe(remaining_);
        else if (logText() != log_)
            failure_ = "log:\n" + logText() + "expected:\n" + log_;
        else if (window_->findChild<QRubberBand *>()->isVisible() != rubberBand_)
            failure_ = rubberBand_ ? "the rubber band is hidden" : "the rubber band is still on show";
        else if (const QString d = imageDifference(imageLabelOf(window_.get())->pixmap().toImage(), picture_);
                 !d.isEmpty())
            failure_ = "picture on show: " + d;
    }

    QRandomGenerator rng_;
    quint32 seed_;
    int actions_;
    QSize screen_;
    std::unique_ptr<MyWidget> window_;
    QString failure_;
    QStringList history_;
    int files_ = 0, saves_ = 0;

    // The model.
    QString dataPath_, shortName_;
    QList<Run> runs_;
    ReferenceTable table_;
    QVector<int> endValue_;
    ReferenceGeometry global_;
    QImage genomePicture_, local_, picture_;
    bool genome_ = true, rubberBand_ = false;
    int selected_ = 0;
    Points shown_, remaining_;
    bool stripes_ = true, segments_ = false;
    QString edit1_, edit2_;
    QString offered_ = "file";
    QByteArray log_;
};

} // namespace

class RandomUserTest : public QObject
{
    Q_OBJECT
private slots:
    void sessions()
    {
        QList<quint32> seeds{1, 2, 3};
        if (qEnvironmentVariableIsSet("TIVREL_RANDOM_SEED"))
            seeds = {quint32(qEnvironmentVariableIntValue("TIVREL_RANDOM_SEED"))};
        for (quint32 seed : seeds) {
            QTemporaryDir work;
            QVERIFY(QDir::setCurrent(work.path()));
            resetProgramState();
            Session session(seed, 150);
            const QString failure = session.run();
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
    }
};

QTEST_MAIN(RandomUserTest)
#include "test_randomuser.moc"
