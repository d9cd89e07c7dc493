#include "mywidget.h"

#include "filechoice.h"
#include "log.h"
#include "state.h"
#include "statebridge.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QVBoxLayout>

#include <cstdlib>
#include <utility>

namespace {

QPushButton *makeButton(const char *name, const QString &text, const char *styleSheet)
{
    auto *button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    button->setStyleSheet(QString::fromLatin1(styleSheet));
    return button;
}

// A label whose background is filled with one colour.
QLabel *makeFilledLabel(const char *name, const QColor &color)
{
    auto *label = new QLabel;
    label->setObjectName(QString::fromLatin1(name));
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(color, Qt::SolidPattern));
    label->setPalette(palette);
    return label;
}

// A sunken horizontal line that shares out the free width of its row.
QLabel *makeSeparator()
{
    auto *separator = new QLabel;
    separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    separator->setLineWidth(2);
    separator->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return separator;
}

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

MyWidget::MyWidget(QWidget *parent, const std::optional<QString> &firstFile)
    : QWidget(parent), currentDir(QDir::current())
{
    if (firstFile)
        givenFile = readableFilePath(*firstFile);

    mainLayout = new QVBoxLayout;
    topLayout = new QHBoxLayout;
    imageLayout = new QVBoxLayout;
    topLeftLayout = new QHBoxLayout;
    middleLayout = new QVBoxLayout;
    middleTopLayout = new QHBoxLayout;
    controlLayout = new QHBoxLayout;
    bottomLayout = new QHBoxLayout;
    buttonLayout = new QHBoxLayout;

    imageLabel = makeFilledLabel("imageLabel", QColor(150, 150, 150, 255));
    fileNameLabel = makeFilledLabel("fileNameLabel", QColor(Qt::gray));
    hintLabel = named(new QLabel, "hintLabel");
    checkBox1 = named(new QCheckBox, "checkBox1");
    checkBox1->setCheckState(Qt::Unchecked);
    checkBox2 = named(new QCheckBox, "checkBox2");
    checkBox2->setCheckState(Qt::Checked);
    lineEdit1 = named(new QLineEdit, "lineEdit1");
    lineEdit2 = named(new QLineEdit, "lineEdit2");
    newFileButton = makeButton("newFileButton", tr("&New File"),
                               "background:lightblue; color: black; font-size:12px;font-weight:bold;");
    globalButton =
        makeButton("globalButton", tr("&Global"), "background:pink; color: black; font-size:12px;font-weight:bold;");
    unzoomButton =
        makeButton("unzoomButton", tr("&Unzoom"), "background:green; color: black; font-size:12px;font-weight:bold;");
    removeButton = makeButton("removeButton", tr("&Remove Selection"),
                              "background:green; color:black; font-size:12px;font-weight:bold;");
    saveButton =
        makeButton("saveButton", tr("&Save"), "background:orange; color: black; font-size:12px;font-weight:bold;");
    saveRemoveButton = makeButton("saveRemoveButton", tr("Save &and Remove"),
                                  "background:orange; color:black; font-size:12px;font-weight:bold;");
    exitButton =
        makeButton("exitButton", tr("&Exit"), "background:darkred; color:white; font-size:12px;font-weight:bold;");
    rubberBand = named(new QRubberBand(QRubberBand::Rectangle, imageLabel), "rubberBand");
    QLabel *separatorLabel1 = makeSeparator();
    QLabel *separatorLabel2 = makeSeparator();

    connect(newFileButton, SIGNAL(clicked()), this, SLOT(getFilename()));
    connect(globalButton, SIGNAL(clicked()), this, SLOT(displayGlobal()));
    connect(unzoomButton, SIGNAL(clicked()), this, SLOT(showRemaining()));
    connect(removeButton, SIGNAL(clicked()), this, SLOT(removeSelection()));
    connect(saveRemoveButton, SIGNAL(clicked()), this, SLOT(saveAndRemove()));
    connect(saveButton, SIGNAL(clicked()), this, SLOT(Save()));
    connect(exitButton, SIGNAL(clicked()), qApp, SLOT(quit()));
    connect(checkBox1, SIGNAL(stateChanged(int)), this, SLOT(checkBox1Action()));
    connect(checkBox2, SIGNAL(stateChanged(int)), this, SLOT(checkBox2Action()));

    mainLayout->addLayout(topLayout);
    topLayout->addLayout(topLeftLayout);
    topLayout->addLayout(imageLayout);
    imageLayout->addWidget(imageLabel);
    mainLayout->addLayout(middleLayout);
    middleLayout->addLayout(middleTopLayout);
    middleLayout->addLayout(controlLayout);
    for (QWidget *w : QWidgetList{fileNameLabel, separatorLabel1, checkBox1, hintLabel, checkBox2, separatorLabel2,
                                  lineEdit1, lineEdit2})
        controlLayout->addWidget(w);
    mainLayout->addLayout(bottomLayout);
    bottomLayout->addLayout(buttonLayout);
    for (QPushButton *b : {newFileButton, globalButton, unzoomButton, removeButton, saveButton, saveRemoveButton,
                           exitButton})
        buttonLayout->addWidget(b);
    setLayout(mainLayout);

    screenRect = QGuiApplication::primaryScreen()->geometry();
    currentDir = QDir(QDir::currentPath());
    setAcceptDrops(true);

    checkBox2Action();
    getFilename();
}

void MyWidget::getFilename()
{
    if (!startLog())
        std::exit(1);
    if (givenFile)
        filePath = *std::exchange(givenFile, std::nullopt);
    else
        filePath = QFileDialog::getOpenFileName(this, tr("Welcome to  TIVREL !  Select File"),
                                                currentDir.absolutePath(),
                                                tr("Image Files (*.txt *.csv);;All Files (*)"));
    if (!filePath.isEmpty())
        currentDir = QFileInfo(filePath).absoluteDir();
    if (filePath.isEmpty()) {
        if (fileList.isEmpty())
            logLineAndExit(QStringLiteral("Input file problem!"));
        return;
    }
    fileList.clear();

    const QFileInfo chosen(filePath);
    dataFilePath = filePath;
    copyName(filename, sizeof filename, QFile::encodeName(filePath), sizeof filename - 1);
    copyName(shortname, sizeof shortname, QFile::encodeName(chosen.fileName()), 30);
    fileList = listDataFiles(chosen.absolutePath());

    clearChromosomeTable();
    globaltimes = 0;

    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    getManhattan0();
    if (Tag.size() == 1) {
        selected_chromosome = 0;
        displayLocal();
        if (!getManhattan()) // only when the file changed under us
            std::exit(1);
        getParameters();
        reloadPhoto();
    } else {
        globaldisplay = 1;
        getParameters();
        reloadPhoto0();
    }
    QGuiApplication::restoreOverrideCursor();
}
