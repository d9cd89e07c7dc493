// The window: its widgets, layout, wiring and meta-object; the choice of the
// data file with its first view; and the switching between the two views.
// The open-file dialog is answered from a timer, in a fresh working directory
// per case so that each log lands there.
#include "app/mywidget.h"
#include "app/state.h"
#include "support/testsupport.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kHeader = "Tivrel 0.1 by Ruvetti\n\n";
const QString kGlobalHint =
    QStringLiteral("HINT: Draw a box in or around a chromosome to select an entire chromsome");
const QByteArray kThreeChromosomes = "CHR\tPOS\tP\n1\t100\t0.5\n1\t20000\t0.01\n2\t100\t1e-8\n2\t30000\t0.2\n"
                                     "3\t500\t0.001\n3\t9000\t0.3\n";
const QByteArray kOtherTwoChromosomes = "CHR\tPOS\tP\nX\t500000\t0.1\nX\t900000\t1e-3\nY\t100\t0.5\nY\t700000\t1e-12\n";
const QByteArray kOneChromosome = "CHR\tPOS\tP\n7\t1000\t0.5\n7\t2000\t1e-5\n7\t3000\t0.01\n7\t4000\t0.2\n";

// The controls that only the Chromosome view shows.
const QStringList kChromosomeControls = {"checkBox1",    "checkBox2",        "globalButton", "unzoomButton",
                                         "removeButton", "saveRemoveButton", "lineEdit1",    "lineEdit2"};

std::unique_ptr<MyWidget> openOn(const QString &path)
{
    resetProgramState();
    answerFileDialog(path);
    return std::make_unique<MyWidget>();
}

template <typename T = QWidget>
T *part(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

QString label(QWidget *window, const char *name)
{
    return part<QLabel>(window, name)->text();
}

qint64 pictureKey(QWidget *window)
{
    return part<QLabel>(window, "imageLabel")->pixmap().cacheKey();
}

// Which of the chromosome-view controls would show with the window.
QStringList shownControls(QWidget *window)
{
    QStringList shown;
    for (const QString &name : kChromosomeControls)
        if (part(window, qPrintable(name))->isVisibleTo(window))
            shown << name;
    return shown;
}

QString canonical(const QString &path)
{
    return QFileInfo(path).canonicalFilePath();
}

// The layout tree as text: H(...) and V(...) for box layouts, widgets by
// name, the two unnamed separator labels as "line".
QString describe(QLayoutItem *item)
{
    if (QWidget *w = item->widget())
        return w->objectName().isEmpty() && qobject_cast<QLabel *>(w) ? QStringLiteral("line") : w->objectName();
    auto *box = qobject_cast<QBoxLayout *>(item->layout());
    if (!box)
        return QStringLiteral("?");
    QStringList parts;
    for (int i = 0; i < box->count(); ++i) {
        QString part = describe(box->itemAt(i));
        if (box->stretch(i) != 0 || box->itemAt(i)->alignment() != Qt::Alignment())
            part += QLatin1Char('!');
        parts << part;
    }
    return (box->direction() == QBoxLayout::LeftToRight ? "H(" : "V(") + parts.join(QLatin1Char(' ')) + ")";
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT
private slots:
    void buttonsCarryTextAndStyle_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("style");
        const char *const tail = "font-size:12px;font-weight:bold;";
        QTest::newRow("new") << "newFileButton" << "&New File"
                             << QString("background:lightblue; color: black; ") + tail;
        QTest::newRow("global") << "globalButton" << "&Global" << QString("background:pink; color: black; ") + tail;
        QTest::newRow("unzoom") << "unzoomButton" << "&Unzoom" << QString("background:green; color: black; ") + tail;
        QTest::newRow("remove") << "removeButton" << "&Remove Selection"
                                << QString("background:green; color:black; ") + tail;
        QTest::newRow("save") << "saveButton" << "&Save" << QString("background:orange; color: black; ") + tail;
        QTest::newRow("save and remove") << "saveRemoveButton" << "Save &and Remove"
                                         << QString("background:orange; color:black; ") + tail;
        QTest::newRow("exit") << "exitButton" << "&Exit" << QString("background:darkred; color:white; ") + tail;
    }

    void buttonsCarryTextAndStyle()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, style);
        inTemporaryWorkingDirectory([&](const QString &dir) {
            auto w = openOn(writeFile(dir + "/d.txt", kThreeChromosomes));
            auto *button = part<QPushButton>(w.get(), qPrintable(name));
            QCOMPARE(button->text(), text);
            QCOMPARE(button->styleSheet(), style);
        });
    }

    void widgetsStartAsDesigned()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/d.txt", kThreeChromosomes));
            for (const char *name : {"imageLabel", "fileNameLabel"})
                QVERIFY(part(w.get(), name)->autoFillBackground());
            const QPalette image = part(w.get(), "imageLabel")->palette();
            const QPalette file = part(w.get(), "fileNameLabel")->palette();
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
                QCOMPARE(image.brush(group, QPalette::Window).color(), QColor(150, 150, 150, 255));
                QCOMPARE(image.brush(group, QPalette::Window).style(), Qt::SolidPattern);
                QCOMPARE(file.brush(group, QPalette::Window).color(), QColor(Qt::gray));
            }
            QCOMPARE(part<QCheckBox>(w.get(), "checkBox1")->checkState(), Qt::Unchecked);
            QCOMPARE(part<QCheckBox>(w.get(), "checkBox2")->checkState(), Qt::Checked);
            QCOMPARE(part<QCheckBox>(w.get(), "checkBox1")->text(), QString());
            QCOMPARE(part<QLineEdit>(w.get(), "lineEdit1")->text(), QString());
            QCOMPARE(part<QLineEdit>(w.get(), "lineEdit2")->text(), QString());
            // resetProgramState left stripes 0: the constructor's
            // checkBox2Action follows the checked box.
            QCOMPARE(stripes, 1);
            QCOMPARE(line, 0);
            auto *band = part<QRubberBand>(w.get(), "rubberBand");
            QCOMPARE(band->parentWidget(), part(w.get(), "imageLabel"));
            QCOMPARE(band->shape(), QRubberBand::Rectangle);
            QVERIFY(!band->isVisibleTo(w.get()));
        });
    }

    void layoutPlacesEveryWidget()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/d.txt", kThreeChromosomes));
            QCOMPARE(describe(w->layout()),
                     QStringLiteral("V(H(H() V(imageLabel)) "
                                    "V(H() H(fileNameLabel line checkBox1 hintLabel checkBox2 line lineEdit1 lineEdit2)) "
                                    "H(H(newFileButton globalButton unzoomButton removeButton saveButton "
                                    "saveRemoveButton exitButton)))"));
            int separators = 0;
            for (QLabel *l : w->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly)) {
                if (!l->objectName().isEmpty())
                    continue;
                ++separators;
                QCOMPARE(l->frameStyle(), 52);
                QCOMPARE(l->lineWidth(), 2);
                QCOMPARE(l->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
                QCOMPARE(l->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
            }
            QCOMPARE(separators, 2);
        });
    }

    void metaObjectListsSignalAndSlots_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("returns");
        const QList<QByteArray> slotNames = {"checkBox1Action()", "checkBox2Action()", "saveAndRemove()",
                                             "Save()",            "makeFile()",        "getFilename()",
                                             "displayGlobal()",   "displayLocal()",    "reloadPhoto()",
                                             "reloadPhoto0()",    "showRemaining()",   "removeSelection()"};
        QTest::newRow("getSize") << 0 << QByteArray("getSize()") << int(QMetaMethod::Signal) << int(QMetaType::Void);
        for (int i = 0; i < slotNames.size(); ++i)
            QTest::newRow(slotNames[i].constData())
                << i + 1 << slotNames[i] << int(QMetaMethod::Slot)
                << int(slotNames[i] == "makeFile()" ? QMetaType::Bool : QMetaType::Void);
    }

    void metaObjectListsSignalAndSlots()
    {
        QFETCH(int, index);
        QFETCH(QByteArray, signature);
        QFETCH(int, kind);
        QFETCH(int, returns);
        const QMetaObject &mo = MyWidget::staticMetaObject;
        QCOMPARE(mo.className(), "MyWidget");
        QCOMPARE(mo.methodCount() - mo.methodOffset(), 13);
        const QMetaMethod m = mo.method(mo.methodOffset() + index);
        QCOMPARE(m.methodSignature(), signature);
        QCOMPARE(int(m.methodType()), kind);
        QCOMPARE(m.access(), QMetaMethod::Public);
        QCOMPARE(m.returnType(), returns);
    }

    void windowSizeFollowsThePicture()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/d.txt", kThreeChromosomes));
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            const QSize picture(int(0.8 * screen.width()), int(0.75 * screen.height())); // 640x600 offscreen
            auto *image = part<QLabel>(w.get(), "imageLabel");
            QCOMPARE(image->pixmap().size(), picture);
            QCOMPARE(image->sizeHint(), picture);
            QVERIFY(w->sizeHint().width() >= picture.width());
            QVERIFY(w->sizeHint().height() > picture.height());
        });
    }

    // Each button and box reaches its slot: observed by what the slot does.
    void controlsReachTheirSlots()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/d.txt", kOneChromosome));
            const QList<int> all = Pos_list2;
            QCOMPARE(all.size(), 4);

            Pos_list = all.mid(1, 2); // as a zoom would leave them
            Value_list = Value_list2.mid(1, 2);
            w->getParameters();
            part<QPushButton>(w.get(), "unzoomButton")->click();
            QCOMPARE(Pos_list, all);

            QString offered;
            answerTextDialog(QStringLiteral("kept"), true, &offered);
            part<QPushButton>(w.get(), "saveButton")->click();
            QCOMPARE(offered, QStringLiteral("file"));
            QVERIFY(QFile::exists(dir + "/kept.txt"));
            QCOMPARE(Pos_list2, all);

            answerTextDialog(QStringLiteral("cut"));
            part<QPushButton>(w.get(), "saveRemoveButton")->click();
            QVERIFY(QFile::exists(dir + "/cut.txt"));
            QVERIFY(Pos_list2.isEmpty()); // the unzoomed plot's area holds every point

            answerFileDialog(writeFile(dir + "/e.txt", kOneChromosome));
            part<QPushButton>(w.get(), "newFileButton")->click();
            QCOMPARE(Pos_list2, all);
            part<QPushButton>(w.get(), "removeButton")->click();
            QVERIFY(Pos_list2.isEmpty());

            part<QCheckBox>(w.get(), "checkBox1")->setCheckState(Qt::Checked);
            QCOMPARE(line, 1);
            part<QCheckBox>(w.get(), "checkBox2")->setCheckState(Qt::Unchecked);
            QCOMPARE(stripes, 0);
        });
    }

    void severalChromosomesOpenGenomeWide()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/three.txt", kThreeChromosomes));
            QCOMPARE(Tag, QStringList({"1", "2", "3"}));
            QCOMPARE(globaldisplay, 1);
            QCOMPARE(shownControls(w.get()), QStringList());
            for (const char *name : {"newFileButton", "saveButton", "exitButton", "hintLabel", "fileNameLabel"})
                QVERIFY(part(w.get(), name)->isVisibleTo(w.get()));
            QCOMPARE(label(w.get(), "hintLabel"), kGlobalHint);
            QCOMPARE(label(w.get(), "fileNameLabel"), QStringLiteral("three.txt"));
            QCOMPARE(logText(), kHeader + "Get GLOBAL\n");
        });
    }

    void oneChromosomeOpensChromosomeView()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/one.txt", kOneChromosome));
            QCOMPARE(selected_chromosome, 0);
            QCOMPARE(globaldisplay, 0);
            QCOMPARE(Pos_list, QList<int>({1000, 2000, 3000, 4000})); // base pairs, not genome-wide x
            QCOMPARE(shownControls(w.get()), kChromosomeControls);
            QCOMPARE(label(w.get(), "hintLabel"), QString());
            QCOMPARE(logText(), kHeader + "selected chromosome by getManhattan 7\n");

            const qint64 picture = pictureKey(w.get()); // "&Global" has nothing to go back to
            part<QPushButton>(w.get(), "globalButton")->click();
            QCOMPARE(globaldisplay, 0);
            QCOMPARE(pictureKey(w.get()), picture);
            QCOMPARE(shownControls(w.get()), kChromosomeControls);
            QCOMPARE(label(w.get(), "hintLabel"), QString());
        });
    }

    void globalReshowsTheKeptPicture()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/three.txt", kThreeChromosomes));
            const qint64 genomeWide = pictureKey(w.get());
            w->displayLocal();
            QCOMPARE(pictureKey(w.get()), genomeWide);
            QCOMPARE(globaldisplay, 0);
            QCOMPARE(label(w.get(), "hintLabel"), QString());
            QCOMPARE(shownControls(w.get()), kChromosomeControls);

            part<QPushButton>(w.get(), "globalButton")->click();
            QCOMPARE(globaldisplay, 1);
            QCOMPARE(pictureKey(w.get()), genomeWide); // shown again, not repainted
            QCOMPARE(label(w.get(), "hintLabel"), kGlobalHint);
            QCOMPARE(shownControls(w.get()), QStringList());
        });
    }

    void checkBoxRedrawsTheZoomedPoints()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/one.txt", kOneChromosome));
            const QImage whole = part<QLabel>(w.get(), "imageLabel")->pixmap().toImage();
            Pos_list = Pos_list2.mid(0, 2);
            Value_list = Value_list2.mid(0, 2);
            w->getParameters();
            part<QCheckBox>(w.get(), "checkBox1")->setCheckState(Qt::Checked);
            const QImage shown = part<QLabel>(w.get(), "imageLabel")->pixmap().toImage();
            QCOMPARE(shown, w->plot(Pos_list, Value_list, 2).toImage());
            QVERIFY(shown != whole);
        });
    }

    void cancelledNewFileKeepsDataAndView()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            auto w = openOn(writeFile(dir + "/three.txt", kThreeChromosomes));
            const QList<int> positions = Pos_list;
            const QStringList tags = Tag;
            const qint64 picture = pictureKey(w.get());
            answerFileDialog(QString());
            part<QPushButton>(w.get(), "newFileButton")->click();
            QCOMPARE(Tag, tags);
            QCOMPARE(Pos_list, positions);
            QCOMPARE(globaldisplay, 1);
            QCOMPARE(pictureKey(w.get()), picture);
            QCOMPARE(label(w.get(), "hintLabel"), kGlobalHint);
            QCOMPARE(label(w.get(), "fileNameLabel"), QStringLiteral("three.txt"));
            QCOMPARE(logText(), kHeader);
        });
    }

    void secondFileReplacesTheFirst()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            QDir(dir).mkpath("a");
            QDir(dir).mkpath("b");
            const QString first = writeFile(dir + "/a/first.txt", kThreeChromosomes);
            const QString second = writeFile(dir + "/b/second.txt", kOtherTwoChromosomes);
            int refMinX = 0, refMaxX = 0;
            double refPixPerX = 0;
            {
                auto alone = openOn(second);
                refMinX = GLOBAL_minX;
                refMaxX = GLOBAL_maxX;
                refPixPerX = GLOBAL_pixPerX;
            }

            resetProgramState();
            QString firstStart, secondStart;
            onFileDialog([&](QFileDialog *d) {
                firstStart = d->directory().absolutePath();
                acceptFileDialog(d, first);
            });
            MyWidget w;
            QVERIFY(GLOBAL_maxX != refMaxX);
            onFileDialog([&](QFileDialog *d) {
                secondStart = d->directory().absolutePath();
                acceptFileDialog(d, second);
            });
            part<QPushButton>(&w, "newFileButton")->click();

            QCOMPARE(canonical(firstStart), canonical(dir));
            QCOMPARE(canonical(secondStart), canonical(dir + "/a"));
            QCOMPARE(Tag, QStringList({"X", "Y"}));
            QCOMPARE(Start_value.size(), 2);
            QCOMPARE(Color_value, QVector<int>({255, 50}));
            QCOMPARE(GLOBAL_minX, refMinX);
            QCOMPARE(GLOBAL_maxX, refMaxX);
            QCOMPARE(GLOBAL_pixPerX, refPixPerX);
            QCOMPARE(label(&w, "fileNameLabel"), QStringLiteral("second.txt"));
            QCOMPARE(logText(), kHeader + "Get GLOBAL\n"); // in the working directory
            QVERIFY(!QFile::exists(dir + "/a/Tivrel_log.txt"));
        });
    }

    void fileNameLabelShowsTheShortName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("40 bytes") << "abcdefghijklmnopqrstuvwxyz0123456789.txt" << "abcdefghijklmnopqrstuvwxyz0123";
        QTest::newRow("non-ASCII path") << QString::fromUtf8("données/é.txt") << QString::fromUtf8("é.txt");
        // Byte 30 falls inside "é": never half a character.
        QTest::newRow("cut inside a character") << QString::fromUtf8("abcdefghijklmnopqrstuvwxyz012é3456.txt")
                                                << "abcdefghijklmnopqrstuvwxyz012";
    }

    void fileNameLabelShowsTheShortName()
    {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        inTemporaryWorkingDirectory([&](const QString &dir) {
            QDir(dir).mkpath(QFileInfo(dir + "/" + path).path());
            auto w = openOn(writeFile(dir + "/" + path, kThreeChromosomes));
            QCOMPARE(Tag, QStringList({"1", "2", "3"}));
            QCOMPARE(label(w.get(), "fileNameLabel"), shown);
        });
    }

    // A path too long for the name buffer still opens the chosen file, not a
    // file whose name is the path cut short.
    void longPathOpensTheChosenFile()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            QString deep = dir;
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
        });
    }
};

QTEST_MAIN(WindowTest)
#include "test_window.moc"
