// A user who does random things: boxes anywhere (corners on points, centres
// on run ends), buttons (hidden ones too), check boxes, typed ranges, saves,
// new and dropped files (saved ones loaded back), on small generated files
// whose chromosomes share scores and positions, some runs of one row. After
// each action the window must agree with a model kept here, worked out from
// the rules: the points on show and the remaining points, the picture on
// show (drawn by the reference painters), what each save wrote, the log, the
// rubber band and which controls are visible.
//
// The seeds are fixed; TIVREL_RANDOM_SEED=N runs one session with seed N.
#include "app/mywidget.h"
#include "app/state.h"
#include "data/loads.h"
#include "fuzz/reference.h"
#include "support/casefile.h"
#include "support/testsupport.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
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
const QStringList kChromosomeControls{"checkBox1", "checkBox2", "globalButton", "unzoomButton",
                                      "removeButton", "saveRemoveButton", "lineEdit1", "lineEdit2"};

struct Points {
    QList<int> positions;
    QList<double> values;
    bool operator==(const Points &o) const { return positions == o.positions && values == o.values; }
    // Those in (or out of) the area, in order.
    Points filtered(qint64 lo, qint64 hi, double bottom, double top, bool inside) const
    {
        Points kept;
        for (int i = 0; i < positions.size(); ++i)
            if ((lo <= positions[i] && positions[i] <= hi && bottom <= values[i] && values[i] <= top) == inside) {
                kept.positions.append(positions[i]);
                kept.values.append(values[i]);
            }
        return kept;
    }
};

QString streamed(double v)
{
    QString text;
    QTextStream(&text) << v;
    return text;
}

QString describe(const Points &p)
{
    QString text;
    QDebug(&text).nospace() << p.positions << p.values;
    return text;
}

class Session
{
public:
    explicit Session(quint32 seed) : rng_(seed), seed_(seed) {}

    // Empty when every action kept the window and the model in step.
    QString run(int actions)
    {
        const QString path = newDataFile();
        DialogAnswers answer({path});
        window_ = std::make_unique<MyWidget>();
        window_->show();
        if (!QTest::qWaitForWindowExposed(window_.get()))
            return "the window was never shown";
        load(path);
        history_ << "open " + path;
        compare();
        for (int i = 0; i < actions && failure_.isEmpty(); ++i) {
            act();
            compare();
            if (!failure_.isEmpty())
                failure_ = QString("seed %1 (TIVREL_RANDOM_SEED=%1), action %2: %3\n  %4\nlast actions:\n  %5")
                               .arg(seed_).arg(i).arg(history_.last(), failure_, history_.mid(history_.size() - 12).join("\n  "));
        }
        return failure_;
    }

private:
    // --- Files and their loads ---------------------------------------------

    // 1 to 4 chromosome runs of 1 to 7 rows (a file of one run has two or
    // more); labels may come back; scores and positions repeat, so plots of
    // one score or one position occur.
    QString newDataFile()
    {
        const QStringList labels{"1", "2", "X", "chr10"}, pValues{"0.5", "0.01", "1e-3", "1e-5", "1e-8", "3.2e-8", "0.2"};
        const int runs = rng_.bounded(5) == 0 ? 1 : 2 + int(rng_.bounded(3));
        QByteArray text = "CHR\tPOS\tP\n";
        QString label;
        for (int r = 0; r < runs; ++r) {
            for (const QString previous = label; label == previous;)
                label = labels[int(rng_.bounded(labels.size()))];
            int position = int(rng_.bounded(50000));
            for (int n = (runs == 1 ? 2 : 1) + int(rng_.bounded(6)); n > 0; --n) {
                text += label.toUtf8() + "\t" + QByteArray::number(position) + "\t" + pValues[int(rng_.bounded(7))].toUtf8() + "\n";
                const int step = rng_.bounded(4) == 0 ? 0 : int(rng_.bounded(3000));
                position += rng_.bounded(8) == 0 ? -step : step;
            }
        }
        return writeFile(QString("data%1.txt").arg(++files_), text);
    }

    // The model of a file chosen: its runs as the read cases check the loads.
    void load(const QString &path)
    {
        const GenomeWide g = loadGenomeWide(path);
        const ChromosomeTable &t = g.table;
        runs_.clear();
        for (int k = 0; k < t.tags.size(); ++k) {
            const int count = t.endIndex[k] - t.startIndex[k] + 1;
            runs_.append({t.tags[k], {loadRun(path, t.startOffset[k], t.tags[k], count).positions,
                                      g.scores.mid(t.startIndex[k], count)}});
        }
        shortName_ = QFileInfo(path).fileName().left(30); // ASCII names: 30 bytes
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
        if (runs_.size() == 1)
            return chromosomeView(0);
        shown_ = remaining_ = {g.x, g.scores};
        global_ = geometry();
        genomePicture_ = picture_ = referenceGenomeWide(g.x, g.scores, int(g.x.size()), global_, stripes_, table_, shortName_);
        log_ += "Get GLOBAL\n";
        genome_ = true;
    }

    // --- The model's operations ------------------------------------------

    ReferenceGeometry geometry() const
    {
        return referenceGeometry(shown_.positions, shown_.values, QGuiApplication::primaryScreen()->geometry().size());
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
        local_ = picture_ = referenceChromosome(shown_.positions, shown_.values, int(shown_.positions.size()), geometry(),
                                                stripes_, segments_, edit1_, edit2_);
    }

    void pick(int x1, int x2)
    {
        const int point = (x1 + x2) / 2;
        const qint64 position = global_.positionAt(point);
        int k = 0;
        while (k < table_.startValue.size() && !(table_.startValue[k] <= position && position <= endValue_[k]))
            ++k;
        k = k == table_.startValue.size() ? 0 : k;
        log_ += QString("select chrom %1 %2 point %3 position %4 start %5 end %6 pixPerX %7 minX %8\n\n")
                    .arg(runs_[k].label).arg(k).arg(point).arg(position).arg(table_.startValue[k])
                    .arg(endValue_[k]).arg(streamed(global_.pixPerX)).arg(global_.minX).toUtf8();
        if (runs_[k].points.positions.size() >= 2)
            return chromosomeView(k);
        // A run of one point cannot be shown: the genome-wide view stays as it was.
        log_ += "selected chromosome by getManhattan " + runs_[k].label.toUtf8() + "\nIllegal data range in getManhattan!\n";
    }

    void zoom(int x1, int y1, int x2, int y2)
    {
        const ReferenceGeometry g = geometry();
        const qint64 lo = std::min(g.positionAt(x1), g.positionAt(x2)), hi = std::max(g.positionAt(x1), g.positionAt(x2));
        const double top = std::max(g.valueAt(y1), g.valueAt(y2)), bottom = std::min(g.valueAt(y1), g.valueAt(y2));
        history_.last() += QString(" on %1: %2..%3 x %4..%5").arg(describe(shown_)).arg(lo).arg(hi).arg(bottom).arg(top);
        shown_ = shown_.filtered(lo, hi, bottom, top, true);
        redraw();
    }

    // What "&Remove Selection" leaves: the remaining points outside the
    // area of the plot on show.
    void remove()
    {
        const ReferenceGeometry g = geometry();
        shown_ = remaining_ = remaining_.filtered(g.minX, g.maxX, g.minY, g.maxY, false);
        redraw();
    }

    QByteArray savedRows() const
    {
        QByteArray text = kSaveHeader;
        for (int i = 0; i < shown_.positions.size(); ++i)
            text += QString("%1\t%2\t%3\t%4\n").arg(runs_[selected_].label).arg(shown_.positions[i])
                        .arg(streamed(1 / std::pow(10.0, shown_.values[i])), streamed(shown_.values[i])).toUtf8();
        return text;
    }

    // --- The user's actions ------------------------------------------------

    template <typename T = QWidget>
    T *widget(const QString &name) const { return window_->findChild<T *>(name); }
    bool visible(const QString &name) const { return widget(name)->isVisibleTo(window_.get()); }

    void act()
    {
        const int what = int(rng_.bounded(100));
        if (what < 40)
            box();
        else if (what < 78)
            button(QStringList{"newFileButton", "globalButton", "unzoomButton", "removeButton", "saveButton",
                               "saveRemoveButton"}[rng_.bounded(6)]);
        else if (what < 88)
            toggle(rng_.bounded(2) ? "checkBox1" : "checkBox2");
        else if (what < 97)
            type();
        else
            drop();
    }

    double coordinate(int size, double near)
    {
        return rng_.bounded(2) ? near + rng_.bounded(60.0) - 30 : rng_.bounded(size + 40.0) - 20;
    }

    // A box anywhere, often around a point on show, with any button.
    void box()
    {
        const int w = widget("imageLabel")->width(), h = widget("imageLabel")->height();
        const ReferenceGeometry g = genome_ ? global_ : geometry();
        const int i = int(rng_.bounded(std::max<qsizetype>(shown_.positions.size(), 1)));
        const QPointF near = shown_.positions.isEmpty() ? QPointF(w / 2.0, h / 2.0)
                                                        : QPointF(g.column(shown_.positions[i]), g.row(shown_.values[i]));
        QPointF from(coordinate(w, near.x()), coordinate(h, near.y())), to(coordinate(w, near.x()), coordinate(h, near.y()));
        // A third of the boxes are centred on the column of a run's first or
        // last x, or have their corners on the pixels of two points on show.
        if (rng_.bounded(3) == 0 && genome_) {
            const int k = int(rng_.bounded(table_.startValue.size()));
            const double centre = g.column(rng_.bounded(2) ? table_.startValue[k] : endValue_[k]), half = rng_.bounded(4);
            from.setX(centre - half);
            to.setX(centre + half);
        } else if (rng_.bounded(3) == 0 && !shown_.positions.isEmpty()) {
            const int j = int(rng_.bounded(shown_.positions.size()));
            from = near;
            to = QPointF(g.column(shown_.positions[j]), g.row(shown_.values[j]));
        }
        if (rng_.bounded(10) == 0)
            to.setY(from.y()); // no height
        history_ << QString("box (%1, %2) to (%3, %4)").arg(from.x()).arg(from.y()).arg(to.x()).arg(to.y());
        drag(window_.get(), from, to, QList{Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}[rng_.bounded(3)]);

        // Whole pixels by truncation, clamped to the label, in order.
        const int x1 = std::clamp(int(from.x()), 0, w), y1 = std::clamp(int(from.y()), 0, h);
        const int x2 = std::clamp(int(to.x()), 0, w), y2 = std::clamp(int(to.y()), 0, h);
        rubberBand_ = x1 == x2 || y1 == y2;
        if (rubberBand_)
            return;
        if (genome_)
            pick(std::min(x1, x2), std::max(x1, x2));
        else
            zoom(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    }

    // A button clicked as a user would: one not on show cannot be.
    void button(const QString &name)
    {
        history_ << "click " + name;
        if (!visible(name))
            return;
        const auto press = [&] { widget<QPushButton>(name)->click(); };
        if (name == "newFileButton")
            return newFile(press);
        if (name == "saveButton" || name == "saveRemoveButton")
            return save(name == "saveRemoveButton", press);
        press();
        if (name == "removeButton")
            return remove();
        if (name == "unzoomButton") {
            shown_ = remaining_;
            return redraw();
        }
        if (runs_.size() >= 2) { // "&Global", with a genome-wide picture to show
            genome_ = true;
            picture_ = genomePicture_;
        }
    }

    // A new data file, or one saved before.
    QString someFile() { return !saved_.isEmpty() && rng_.bounded(3) == 0 ? saved_ : newDataFile(); }

    void newFile(const std::function<void()> &press)
    {
        const QString path = rng_.bounded(4) == 0 ? QString() : someFile();
        history_.last() += path.isEmpty() ? " (cancelled)" : " " + path;
        DialogAnswers answer({path});
        press();
        path.isEmpty() ? void(log_ = kLogHeader) : load(path);
    }

    // A data file dropped on the window.
    void drop()
    {
        const QString path = someFile();
        history_ << "drop " + path;
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at = window_->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window_.get(), &drop);
        QCoreApplication::processEvents(); // the load runs once the drop is over
        load(path);
    }

    void save(bool andRemove, const std::function<void()> &press)
    {
        if (genome_) {
            QFile::remove(shortName_ + ".png");
            press();
            if (const QString d = imageDifference(QImage(shortName_ + ".png"), genomePicture_); !d.isEmpty())
                failure_ = "genome-wide picture saved: " + d;
            return;
        }
        const int kind = int(rng_.bounded(10));
        QString answer = QString("s%1").arg(++saves_) + (kind == 2 ? ".txt" : kind == 3 ? QString(60, 'n') : "");
        answer = kind == 0 ? QString() : kind == 1 ? QString("") : answer; // cancelled, empty
        history_.last() += " answer " + (answer.isNull() ? QString("cancel") : '"' + answer + '"');
        DialogAnswers dialog({answer});
        press();
        if (answer.isEmpty())
            return;
        const QString data = answer.endsWith(".txt") ? answer : answer + ".txt";
        if (const QString d = firstDifference(readFile(data), savedRows()) + imageDifference(QImage(data.chopped(4) + ".png"), local_);
            !d.isEmpty())
            failure_ = data + " or its picture: " + d;
        if (shown_.positions.size() >= 2) // to load back later
            saved_ = QFileInfo(data).absoluteFilePath();
        if (andRemove)
            remove();
    }

    void toggle(const QString &name)
    {
        history_ << "toggle " + name;
        if (visible(name)) {
            widget<QCheckBox>(name)->click();
            (name == "checkBox1" ? segments_ : stripes_) ^= true;
            redraw();
        }
    }

    // A range typed into the line edits: "lo-hi", lo and hi, three parts or
    // junk. It redraws nothing until the next redraw reads it.
    void type()
    {
        if (!visible("lineEdit1"))
            return;
        const QList<int> &at = runs_[selected_].points.positions;
        const auto some = [&] { return QString::number(at.value(int(rng_.bounded(at.size())))); };
        const int kind = int(rng_.bounded(5));
        edit1_ = kind == 0 ? some() + '-' + some() : kind == 1 ? some() : kind == 2 ? some() + '-' + some() + '-' + some()
               : kind == 3 ? QString("x") : QString();
        edit2_ = kind == 1 ? some() : QString();
        history_ << QString("type \"%1\" and \"%2\"").arg(edit1_, edit2_);
        for (const auto &[name, text] : {std::pair{"lineEdit1", edit1_}, std::pair{"lineEdit2", edit2_}}) {
            widget<QLineEdit>(name)->clear();
            QTest::keyClicks(widget(name), text);
        }
    }

    // --- What the window must show -------------------------------------------

    void compare()
    {
        if (!failure_.isEmpty())
            return;
        QStringList hidden;
        for (const QString &name : kChromosomeControls)
            if (!visible(name))
                hidden << name;
        const QString view = QString("flag %1, hidden %2, hint \"%3\", file \"%4\"")
                                 .arg(globaldisplay).arg(hidden.join(' '), widget<QLabel>("hintLabel")->text(),
                                                         widget<QLabel>("fileNameLabel")->text());
        const QString expected = QString("flag %1, hidden %2, hint \"%3\", file \"%4\"")
                                     .arg(genome_).arg(genome_ ? kChromosomeControls.join(' ') : "", genome_ ? kHint : "", shortName_);
        const Points shown{Pos_list, Value_list}, remaining{Pos_list2, Value_list2};
        if (view != expected)
            failure_ = "view: " + view + "\n  expected " + expected;
        else if (!(shown == shown_))
            failure_ = "points on show " + describe(shown) + ", expected " + describe(shown_);
        else if (!(remaining == remaining_))
            failure_ = "remaining points " + describe(remaining) + ", expected " + describe(remaining_);
        else if (logText() != log_)
            failure_ = "log:\n" + logText() + "expected:\n" + log_;
        else if (widget("rubberBand")->isVisible() != rubberBand_)
            failure_ = rubberBand_ ? "the rubber band is hidden" : "the rubber band is still on show";
        else if (const QString d = imageDifference(widget<QLabel>("imageLabel")->pixmap().toImage(), picture_); !d.isEmpty())
            failure_ = "picture on show: " + d;
    }

    QRandomGenerator rng_;
    quint32 seed_;
    std::unique_ptr<MyWidget> window_;
    QString failure_;
    QStringList history_;
    int files_ = 0, saves_ = 0;

    // The model.
    struct Run {
        QString label;
        Points points; // base-pair positions and scores as loaded
    };
    QList<Run> runs_;
    QString shortName_, saved_; // saved_: the last data file saved, to load back
    ReferenceTable table_;
    QVector<int> endValue_;
    ReferenceGeometry global_;
    QImage genomePicture_, local_, picture_;
    bool genome_ = true, rubberBand_ = false, stripes_ = true, segments_ = false;
    int selected_ = 0;
    Points shown_, remaining_;
    QString edit1_, edit2_;
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
            const QString failure = Session(seed).run(150);
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
    }
};

QTEST_MAIN(RandomUserTest)
#include "test_randomuser.moc"
