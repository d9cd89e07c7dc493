// The window: its widgets, layout, wiring and meta-object, and the choice of
// the data file with the view it opens in. The open-file dialog is answered
// from a timer; each case runs in a fresh working directory, where its data
// files and its log land.
#include "app/mywidget.h"
#include "app/state.h"
#include "support/testsupport.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QRubberBand>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <tuple>

namespace {

const QByteArray kHeader = "Tivrel 0.1 by Ruvetti\n\n";
const QString kGlobalHint =
    QStringLiteral("HINT: Draw a box in or around a chromosome to select an entire chromsome");
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

void click(QWidget *window, const char *button) { part<QPushButton>(window, button)->click(); }
QString label(QWidget *window, const char *name) { return part<QLabel>(window, name)->text(); }
qint64 pictureKey(QWidget *window) { return part<QLabel>(window, "imageLabel")->pixmap().cacheKey(); }

// The view on show, when the view flag, the hidden widgets and the hint all
// agree on it: the genome-wide view hides exactly the chromosome controls.
QString viewOf(QWidget *window)
{
    QStringList hidden;
    for (QWidget *w : window->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        if (!w->objectName().isEmpty() && !w->isVisibleTo(window))
            hidden << w->objectName();
    hidden.sort();
    const QString hint = label(window, "hintLabel");
    if (globaldisplay == 1 && hint == kGlobalHint
        && hidden == QStringList{"checkBox1", "checkBox2", "globalButton", "lineEdit1", "lineEdit2", "removeButton",
                                 "saveRemoveButton", "unzoomButton"})
        return QStringLiteral("genome-wide");
    if (globaldisplay == 0 && hint.isEmpty() && hidden.isEmpty())
        return QStringLiteral("chromosome");
    return QStringLiteral("mixed: flag %1, hidden %2, hint \"%3\"").arg(globaldisplay).arg(hidden.join(' '), hint);
}

// The layout tree as text: H(...) and V(...) for box layouts, widgets by
// name, "!" after an item given a stretch or an alignment. The unnamed
// labels are separators: "line" when a sunken rule 2 wide that expands both
// ways.
QString describe(QLayoutItem *item)
{
    if (QWidget *w = item->widget()) {
        auto *l = qobject_cast<QLabel *>(w);
        if (!l || !w->objectName().isEmpty())
            return w->objectName();
        const QSizePolicy policy = l->sizePolicy();
        const bool rule = l->frameStyle() == (QFrame::HLine | QFrame::Sunken) && l->lineWidth() == 2
                          && policy.horizontalPolicy() == QSizePolicy::Expanding
                          && policy.verticalPolicy() == QSizePolicy::Expanding;
        return rule ? QStringLiteral("line") : QStringLiteral("unnamed label");
    }
    auto *box = qobject_cast<QBoxLayout *>(item->layout());
    if (!box)
        return QStringLiteral("?");
    QStringList parts;
    for (int i = 0; i < box->count(); ++i)
        parts << describe(box->itemAt(i))
                     + (box->stretch(i) != 0 || box->itemAt(i)->alignment() ? "!" : "");
    return (box->direction() == QBoxLayout::LeftToRight ? "H(" : "V(") + parts.join(' ') + ")";
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT
    const QString startDirectory = QDir::currentPath();
    std::unique_ptr<QTemporaryDir> workDir;

private slots:
    void init()
    {
        resetProgramState();
        workDir = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(workDir->path());
    }

    void cleanup()
    {
        QDir::setCurrent(startDirectory);
        workDir.reset();
    }

    // "windowColour" is the palette's Window colour in each colour group;
    // any other property is a Qt property.
    void widgetStartsAsDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *name, const char *property, const QVariant &expected) {
            QTest::addRow("%s %s", name, property) << QString(name) << QByteArray(property) << expected;
        };
        const auto button = [&row](const char *name, const char *text, const char *colours) {
            row(name, "text", QString(text));
            row(name, "styleSheet", QString(colours) + "font-size:12px;font-weight:bold;");
        };
        button("newFileButton", "&New File", "background:lightblue; color: black; ");
        button("globalButton", "&Global", "background:pink; color: black; ");
        button("unzoomButton", "&Unzoom", "background:green; color: black; ");
        button("removeButton", "&Remove Selection", "background:green; color:black; ");
        button("saveButton", "&Save", "background:orange; color: black; ");
        button("saveRemoveButton", "Save &and Remove", "background:orange; color:black; ");
        button("exitButton", "&Exit", "background:darkred; color:white; ");
        for (const char *name : {"imageLabel", "fileNameLabel"})
            row(name, "autoFillBackground", true);
        row("imageLabel", "windowColour", QStringList(3, "#969696").join(' '));
        row("fileNameLabel", "windowColour", QStringList(3, QColor(Qt::gray).name()).join(' '));
        row("checkBox1", "checked", false);
        row("checkBox1", "text", QString());
        row("checkBox2", "checked", true);
        row("lineEdit1", "text", QString());
        row("lineEdit2", "text", QString());
    }

    void widgetStartsAsDesigned()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, expected);
        auto w = openOn(writeFile("d.txt", kThreeChromosomes));
        QWidget *widget = part(w.get(), name);
        QVariant actual = widget->property(property.constData());
        if (property == "windowColour") {
            QStringList colours;
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                colours << widget->palette().color(group, QPalette::Window).name();
            actual = colours.join(' ');
        }
        QCOMPARE(actual, expected);
    }

    void layoutPlacesEveryWidget()
    {
        auto w = openOn(writeFile("d.txt", kThreeChromosomes));
        QCOMPARE(describe(w->layout()),
                 QStringLiteral("V(H(H() V(imageLabel)) "
                                "V(H() H(fileNameLabel line checkBox1 hintLabel checkBox2 line lineEdit1 lineEdit2)) "
                                "H(H(newFileButton globalButton unzoomButton removeButton saveButton "
                                "saveRemoveButton exitButton)))"));
        auto *band = part<QRubberBand>(w.get(), "rubberBand");
        QCOMPARE(band->parentWidget(), part(w.get(), "imageLabel"));
        QCOMPARE(band->shape(), QRubberBand::Rectangle);
    }

    void metaObjectListsSignalThenSlots()
    {
        const QList<QByteArray> methods = {
            "getSize()",     "checkBox1Action()", "checkBox2Action()", "saveAndRemove()", "Save()",
            "makeFile()",    "getFilename()",     "displayGlobal()",   "displayLocal()",  "reloadPhoto()",
            "reloadPhoto0()", "showRemaining()",  "removeSelection()"};
        const QMetaObject &mo = MyWidget::staticMetaObject;
        QCOMPARE(mo.className(), "MyWidget");
        QCOMPARE(mo.methodCount() - mo.methodOffset(), methods.size());
        for (int i = 0; i < methods.size(); ++i) {
            const QMetaMethod m = mo.method(mo.methodOffset() + i);
            QCOMPARE(m.methodSignature(), methods[i]);
            QCOMPARE(m.methodType(), i == 0 ? QMetaMethod::Signal : QMetaMethod::Slot);
            QCOMPARE(m.access(), QMetaMethod::Public);
            QCOMPARE(m.returnType(), int(methods[i] == "makeFile()" ? QMetaType::Bool : QMetaType::Void));
        }
    }

    // Each button and box reaches its slot: observed by what the slot does.
    void controlsReachTheirSlots()
    {
        auto w = openOn(writeFile("d.txt", kOneChromosome));
        QCOMPARE(stripes, 1); // the constructor's checkBox2Action followed the checked box
        QCOMPARE(line, 0);
        const QList<int> all = Pos_list2;
        Pos_list = all.mid(1, 2); // as a zoom would leave them
        Value_list = Value_list2.mid(1, 2);
        w->getParameters();
        part<QCheckBox>(w.get(), "checkBox1")->setCheckState(Qt::Checked);
        QCOMPARE(line, 1);
        QCOMPARE(part<QLabel>(w.get(), "imageLabel")->pixmap().toImage(),
                 w->plot(Pos_list, Value_list, 2).toImage()); // the zoomed points redrawn
        part<QCheckBox>(w.get(), "checkBox2")->setCheckState(Qt::Unchecked);
        QCOMPARE(stripes, 0);
        click(w.get(), "unzoomButton");
        QCOMPARE(Pos_list, all);

        answerTextDialog("kept");
        click(w.get(), "saveButton");
        QVERIFY(QFile::exists("kept.txt"));
        answerTextDialog("cut");
        click(w.get(), "saveRemoveButton");
        QVERIFY(QFile::exists("cut.txt"));
        QVERIFY(Pos_list2.isEmpty()); // the unzoomed plot's area holds every point

        answerFileDialog(writeFile("e.txt", kOneChromosome));
        click(w.get(), "newFileButton");
        QCOMPARE(Pos_list2, all);
        click(w.get(), "removeButton");
        QVERIFY(Pos_list2.isEmpty());
    }

    // A file's first view; then "&Global" shows the kept genome-wide picture
    // again (one chromosome has none to go back to), and a cancelled "&New
    // File" keeps data, view and picture while the log starts afresh.
    void dataFileOpensItsView_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("shortName");
        QTest::addColumn<QByteArray>("log");
        const QList<int> genomeWideX = {1, 200, 201, 500, 501, 586};
        const QByteArray global = kHeader + "Get GLOBAL\n";
        QTest::newRow("several chromosomes") << "three.txt" << kThreeChromosomes << genomeWideX << "genome-wide"
                                             << "three.txt" << global;
        QTest::newRow("one chromosome") << "one.txt" << kOneChromosome << QList<int>{1000, 2000, 3000, 4000}
                                        << "chromosome" << "one.txt"
                                        << kHeader + "selected chromosome by getManhattan 7\n";
        const auto named = [&](const char *row, const char *path, const char *shown) {
            QTest::newRow(row) << path << kThreeChromosomes << genomeWideX << "genome-wide" << shown << global;
        };
        named("40-byte name", "abcdefghijklmnopqrstuvwxyz0123456789.txt", "abcdefghijklmnopqrstuvwxyz0123");
        named("non-ASCII path", "données/é.txt", "é.txt");
        // Byte 30 falls inside "é": never half a character.
        named("name cut inside a character", "abcdefghijklmnopqrstuvwxyz012é3456.txt",
              "abcdefghijklmnopqrstuvwxyz012");
    }

    void dataFileOpensItsView()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QFETCH(QList<int>, positions);
        QFETCH(QString, view);
        QFETCH(QString, shortName);
        QFETCH(QByteArray, log);
        QDir().mkpath(QFileInfo(path).path());
        auto w = openOn(writeFile(path, content));
        QCOMPARE(Pos_list, positions);
        QCOMPARE(viewOf(w.get()), view);
        QCOMPARE(label(w.get(), "fileNameLabel"), shortName);
        QCOMPARE(logText(), log);

        const qint64 picture = pictureKey(w.get());
        w->displayLocal();
        click(w.get(), "globalButton");
        QCOMPARE(viewOf(w.get()), view);
        QCOMPARE(pictureKey(w.get()), picture);

        const QStringList tags = Tag;
        answerFileDialog(QString());
        click(w.get(), "newFileButton");
        QCOMPARE(Tag, tags);
        QCOMPARE(Pos_list, positions);
        QCOMPARE(viewOf(w.get()), view);
        QCOMPARE(pictureKey(w.get()), picture);
        QCOMPARE(label(w.get(), "fileNameLabel"), shortName);
        QCOMPARE(logText(), kHeader);
    }

    // The second file gets the table and geometry it gets when opened alone;
    // its dialog starts in the first file's directory.
    void secondFileReplacesTheFirst()
    {
        QDir().mkpath("a");
        const QString first = writeFile("a/first.txt", kThreeChromosomes);
        const QString second = writeFile("second.txt", kOtherTwoChromosomes);
        openOn(second); // alone, for reference
        const auto alone = std::make_tuple(GLOBAL_minX, GLOBAL_maxX, GLOBAL_pixPerX);

        QStringList startDirectories;
        const auto answer = [&startDirectories](const QString &path) {
            onFileDialog([&startDirectories, path](QFileDialog *d) {
                startDirectories << d->directory().canonicalPath();
                acceptFileDialog(d, path);
            });
        };
        resetProgramState();
        answer(first);
        MyWidget w;
        QVERIFY(GLOBAL_maxX != std::get<1>(alone));
        answer(second);
        click(&w, "newFileButton");

        QCOMPARE(startDirectories, QStringList({QDir().canonicalPath(), QDir("a").canonicalPath()}));
        QCOMPARE(Tag, QStringList({"X", "Y"}));
        QCOMPARE(Start_value.size(), 2);
        QCOMPARE(Color_value, QVector<int>({255, 50}));
        QCOMPARE(std::make_tuple(GLOBAL_minX, GLOBAL_maxX, GLOBAL_pixPerX), alone);
        QCOMPARE(label(&w, "fileNameLabel"), QStringLiteral("second.txt"));
        QCOMPARE(logText(), kHeader + "Get GLOBAL\n"); // in the working directory
        QVERIFY(!QFile::exists("a/Tivrel_log.txt"));
    }

    // A path too long for the name buffer still opens the chosen file, not
    // the file whose name is the path cut short.
    void longPathOpensTheChosenFile()
    {
        QString deep = QDir::currentPath();
        while (QFile::encodeName(deep).size() < 180)
            deep += QStringLiteral("/directory");
        QDir().mkpath(deep);
        const QString path = deep + QStringLiteral("/chosen-data-file-with-a-long-name.txt");
        QVERIFY(QFile::encodeName(path).size() > 200);
        const QByteArray cut = QFile::encodeName(path).left(199);
        QVERIFY(cut.size() > QFile::encodeName(deep).size() + 1); // the cut falls in the file name
        writeFile(QFile::decodeName(cut), kOtherTwoChromosomes);
        auto w = openOn(writeFile(path, kThreeChromosomes));
        QCOMPARE(Tag, QStringList({"1", "2", "3"}));
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
