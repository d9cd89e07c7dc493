// The window: its widgets, layout, wiring and meta-object, and the choice of
// the data file with the view it opens in. The open-file dialog is answered
// from a timer; data files and the log land in a temporary working directory.
#include "app/mywidget.h"
#include "app/state.h"
#include "support/reference.h"
#include "support/testsupport.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QRubberBand>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <tuple>

namespace {

const QByteArray kThreeChromosomes = "CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n"
                                     "3\t500\t0.001\n3\t9000\t0.3\n";
const QByteArray kOtherTwoChromosomes = "CHR\tPOS\tP\nX\t500000\t0.1\nX\t900000\t1e-3\nY\t100\t0.5\nY\t700000\t1e-12\n";
const QByteArray kOneChromosome = "CHR\tPOS\tP\n7\t1000\t0.5\n7\t2000\t1e-5\n7\t3000\t0.01\n7\t4000\t0.2\n";

std::unique_ptr<MyWidget> openOn(const QString &path)
{
    resetProgramState();
    answerFileDialog(path);
    return std::make_unique<MyWidget>();
}

template <typename T = QWidget>
T *part(QWidget *window, const QString &name)
{
    if (T *found = window->findChild<T *>(name))
        return found;
    qFatal("no widget %s", qPrintable(name));
}

QString label(QWidget *window, const char *name) { return part<QLabel>(window, name)->text(); }

// The view on show: the view flag, the hidden widgets and the hint.
QString viewOf(QWidget *window)
{
    const QStringList hidden = hiddenWidgets(window);
    return QString("flag %1; hidden: %2; hint: %3").arg(globaldisplay).arg(hidden.join(' '),
                                                                          label(window, "hintLabel"));
}
const QString kGenomeWideView = "flag 1; hidden: checkBox1 checkBox2 globalButton lineEdit1 lineEdit2 removeButton "
                                "saveRemoveButton unzoomButton; hint: HINT: Draw a box in or around a chromosome to "
                                "select an entire chromsome";
const QString kChromosomeView = "flag 0; hidden: ; hint: ";

// The layout tree as text: H(...) and V(...) for box layouts, widgets by
// name ("line" for the unnamed separators), "!" after an item given a
// stretch or an alignment.
QString describe(QLayoutItem *item)
{
    if (QWidget *w = item->widget())
        return w->objectName().isEmpty() ? QStringLiteral("line") : w->objectName();
    auto *box = qobject_cast<QBoxLayout *>(item->layout());
    if (!box)
        return QStringLiteral("?");
    QStringList parts;
    for (int i = 0; i < box->count(); ++i)
        parts << describe(box->itemAt(i)) + (box->stretch(i) != 0 || box->itemAt(i)->alignment() ? "!" : "");
    return (box->direction() == QBoxLayout::LeftToRight ? "H(" : "V(") + parts.join(' ') + ")";
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT
    QTemporaryDir workDir;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(workDir.path())); }

    void widgetsStartAsDesigned()
    {
        auto w = openOn(writeFile("d.txt", kThreeChromosomes));
        const QList<std::tuple<const char *, const char *, const char *>> buttons{
            {"newFileButton", "&New File", "background:lightblue; color: black; "},
            {"globalButton", "&Global", "background:pink; color: black; "},
            {"unzoomButton", "&Unzoom", "background:green; color: black; "},
            {"removeButton", "&Remove Selection", "background:green; color:black; "},
            {"saveButton", "&Save", "background:orange; color: black; "},
            {"saveRemoveButton", "Save &and Remove", "background:orange; color:black; "},
            {"exitButton", "&Exit", "background:darkred; color:white; "}};
        for (const auto &[name, text, colours] : buttons) {
            QCOMPARE(part<QPushButton>(w.get(), name)->text(), QString(text));
            QCOMPARE(part(w.get(), name)->styleSheet(), QString(colours) + "font-size:12px;font-weight:bold;");
        }
        const QList<std::pair<const char *, QColor>> filled{{"imageLabel", QColor("#969696")},
                                                            {"fileNameLabel", Qt::gray}};
        for (const auto &[name, colour] : filled) {
            QVERIFY(part(w.get(), name)->autoFillBackground());
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                QCOMPARE(part(w.get(), name)->palette().color(group, QPalette::Window), colour);
        }
        QCOMPARE(part<QCheckBox>(w.get(), "checkBox1")->checkState(), Qt::Unchecked);
        QCOMPARE(part<QCheckBox>(w.get(), "checkBox2")->checkState(), Qt::Checked);

        QCOMPARE(describe(w->layout()),
                 QStringLiteral("V(H(H() V(imageLabel)) "
                                "V(H() H(fileNameLabel line checkBox1 hintLabel checkBox2 line lineEdit1 lineEdit2)) "
                                "H(H(newFileButton globalButton unzoomButton removeButton saveButton "
                                "saveRemoveButton exitButton)))"));
        // The two separators: sunken lines sharing out the free width.
        const QList<QLabel *> separators = w->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        int lines = 0;
        for (const QLabel *l : separators) {
            if (!l->objectName().isEmpty())
                continue;
            ++lines;
            QCOMPARE(l->frameStyle(), int(QFrame::HLine | QFrame::Sunken));
            QCOMPARE(l->lineWidth(), 2);
            QCOMPARE(l->sizePolicy(), QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding));
        }
        QCOMPARE(lines, 2);
        QCOMPARE(part<QRubberBand>(w.get(), "rubberBand")->parentWidget(), part(w.get(), "imageLabel"));
        QCOMPARE(part<QRubberBand>(w.get(), "rubberBand")->shape(), QRubberBand::Rectangle);
    }

    void metaObjectListsSignalThenSlots()
    {
        const QMetaObject &mo = MyWidget::staticMetaObject;
        QStringList methods; // the signal, then the slots
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i)
            methods << QString("%1%2 %3").arg(mo.method(i).methodType() == QMetaMethod::Signal ? "signal " : "",
                                              mo.method(i).typeName(), mo.method(i).methodSignature());
        QCOMPARE(methods.join(", "), "signal void getSize(), void checkBox1Action(), void checkBox2Action(), "
                                     "void saveAndRemove(), void Save(), bool makeFile(), void getFilename(), "
                                     "void displayGlobal(), void displayLocal(), void reloadPhoto(), "
                                     "void reloadPhoto0(), void showRemaining(), void removeSelection()");
    }

    // The check boxes, a typed range and "Save &and Remove", as a user works
    // them; after each the picture on show is the plot the state calls for
    // ("&Global" and "&New File" below, the mouse in test_select).
    void controlsRedrawThePlot()
    {
        auto w = openOn(writeFile("one.txt", kOneChromosome));
        QCOMPARE(stripes, 1); // the constructor's checkBox2Action followed the checked box
        QCOMPARE(chromosomePlotMismatch(w.get()), QString());
        part<QCheckBox>(w.get(), "checkBox1")->click(); // segments
        QCOMPARE(chromosomePlotMismatch(w.get()), QString());
        // A typed range redraws nothing until the next redraw reads it.
        const QImage before = part<QLabel>(w.get(), "imageLabel")->pixmap().toImage();
        QTest::keyClicks(part(w.get(), "lineEdit1"), "2000");
        QTest::keyClicks(part(w.get(), "lineEdit2"), "3000");
        QCOMPARE(part<QLabel>(w.get(), "imageLabel")->pixmap().toImage(), before);
        part<QCheckBox>(w.get(), "checkBox2")->click(); // no threshold lines
        QCOMPARE(std::make_pair(line, stripes), std::make_pair(1, 0));
        QCOMPARE(chromosomePlotMismatch(w.get()), QString());
        part<QCheckBox>(w.get(), "checkBox1")->click(); // dots again, in the range's colours
        QCOMPARE(chromosomePlotMismatch(w.get()), QString());

        const QImage shown = part<QLabel>(w.get(), "imageLabel")->pixmap().toImage();
        answerTextDialog("cut");
        click(w.get(), "saveRemoveButton");
        QCOMPARE(imageDifference(QImage("cut.png"), shown), QString()); // the plot as it was on show
        QCOMPARE(readFile("cut.txt"), kSaveHeader + "7\t1000\t0.5\t0.30103\n7\t2000\t1e-05\t5\n"
                                                    "7\t3000\t0.01\t2\n7\t4000\t0.2\t0.69897\n");
        QVERIFY(Pos_list2.isEmpty()); // saved, then every point removed
        QCOMPARE(chromosomePlotMismatch(w.get()), QString());
    }

    // A file's first view; then "&Global" shows the kept genome-wide picture
    // again (one chromosome has none to go back to), and a cancelled "&New
    // File" keeps data, view and picture while the log starts afresh. The
    // label shows the file name's first 30 bytes, never half a character; a
    // path too long for the 200-byte name buffer still opens the chosen file,
    // not the one named by the path cut short.
    void dataFileOpensItsView_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<QByteArray>("log");
        QTest::newRow("several chromosomes, non-ASCII path, cut inside a character")
            << "données/abcdefghijklmnopqrstuvwxyz012é3456.txt" << kThreeChromosomes << kGenomeWideView
            << "abcdefghijklmnopqrstuvwxyz012" << kLogHeader + "Get GLOBAL\n";
        QTest::newRow("one chromosome, 40-byte name")
            << "abcdefghijklmnopqrstuvwxyz0123456789.txt" << kOneChromosome << kChromosomeView
            << "abcdefghijklmnopqrstuvwxyz0123" << kLogHeader + "selected chromosome by getManhattan 7\n";
        QString deep = QDir::currentPath();
        while (QFile::encodeName(deep).size() < 180)
            deep += QStringLiteral("/directory");
        const QString longPath = deep + QStringLiteral("/chosen-data-file-with-a-long-name.txt");
        QDir().mkpath(deep);
        writeFile(QFile::decodeName(QFile::encodeName(longPath).left(199)), kOneChromosome);
        QTest::newRow("path past the name buffer") << longPath << kThreeChromosomes << kGenomeWideView
                                                   << "chosen-data-file-with-a-long-n" << kLogHeader + "Get GLOBAL\n";
    }

    void dataFileOpensItsView()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QDir().mkpath(QFileInfo(path).path());
        auto w = openOn(writeFile(path, content));
        QTEST(viewOf(w.get()), "view");
        QTEST(label(w.get(), "fileNameLabel"), "shortName");
        QCOMPARE(globaldisplay ? genomeWidePlotMismatch(w.get(), path, true) : chromosomePlotMismatch(w.get()),
                 QString());
        QTEST(logText(), "log");

        const auto state = [&w]() {
            return std::make_tuple(Tag, Pos_list, Value_list, viewOf(w.get()), label(w.get(), "fileNameLabel"),
                                   part<QLabel>(w.get(), "imageLabel")->pixmap().cacheKey());
        };
        const auto before = state();
        w->displayLocal();
        click(w.get(), "globalButton");
        QVERIFY2(state() == before, qPrintable(viewOf(w.get())));
        answerFileDialog(QString());
        click(w.get(), "newFileButton");
        QVERIFY2(state() == before, qPrintable(viewOf(w.get())));
        QCOMPARE(logText(), kLogHeader);
    }

    // The second file gets the table and geometry it gets when opened alone;
    // its dialog, with its caption and filter, starts in the first file's
    // directory.
    void secondFileReplacesTheFirst()
    {
        QDir().mkpath("a");
        const QString first = writeFile("a/first.txt", kThreeChromosomes);
        const QString second = writeFile("second.txt", kOtherTwoChromosomes);
        openOn(second); // alone, for reference

        const auto loaded = [] {
            return std::make_tuple(Tag, Start_value, Color_value, GLOBAL_minX, GLOBAL_maxX, GLOBAL_pixPerX);
        };
        const auto alone = loaded();
        QStringList startDirectories;
        const auto answer = [&startDirectories](const QString &path) {
            onFileDialog([&startDirectories, path](QFileDialog *d) {
                startDirectories << d->directory().canonicalPath();
                QCOMPARE(d->windowTitle(), QStringLiteral("Welcome to  TIVREL !  Select File"));
                QCOMPARE(d->nameFilters().value(0), QStringLiteral("Image Files (*.txt *.csv)"));
                acceptFileDialog(d, path);
            });
        };
        answer(first);
        MyWidget w;
        answer(second);
        click(&w, "newFileButton");

        QCOMPARE(startDirectories, QStringList({QDir().canonicalPath(), QDir("a").canonicalPath()}));
        QVERIFY(loaded() == alone);
        QCOMPARE(label(&w, "fileNameLabel"), QStringLiteral("second.txt"));
        QCOMPARE(genomeWidePlotMismatch(&w, second, true), QString());
        QCOMPARE(logText(), kLogHeader + "Get GLOBAL\n"); // in the working directory
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
