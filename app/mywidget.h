// The one window of the program: the plot on top, a row of controls under
// it and a row of seven buttons at the bottom. Every operation is a member;
// the members read the program-wide state, call the plain functions that do
// the work, and write the state back.
#pragma once

#include <QDir>
#include <QPixmap>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <optional>

class QCheckBox;
class QDragEnterEvent;
class QDropEvent;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QPushButton;
class QRubberBand;
class QVBoxLayout;

// Where each member is defined:
//   mywidget.cpp         construction, the data file's choice
//   mywidget_loads.cpp   the genome-wide and the chromosome load
//   mywidget_views.cpp   geometry, the two painters, view switching
//   mywidget_select.cpp  the mouse box, pick, zoom, removal, unzoom
//   mywidget_save.cpp    saving
//   mywidget_dragdrop.cpp  a data file dropped on the window
class MyWidget : public QWidget
{
    Q_OBJECT

public:
    // firstFile (from the command line) takes the place of the first
    // open-file dialog; without it the dialog asks.
    explicit MyWidget(QWidget *parent = nullptr,
                      const std::optional<QString> &firstFile = std::nullopt); // mywidget.cpp

signals:
    void getSize();

    // In the order of the class's slot table, so each names its file.
public slots:
    void checkBox1Action(); // views
    void checkBox2Action(); // views
    void saveAndRemove();   // save
    void Save();            // save
    bool makeFile();        // save
    void getFilename();     // mywidget.cpp
    void displayGlobal();   // views
    void displayLocal();    // views
    void reloadPhoto();     // views
    void reloadPhoto0();    // views
    void showRemaining();   // select
    void removeSelection(); // select

public:
    // mywidget_loads.cpp
    void getManhattan0();
    // False (after its log line) when the run holds fewer than two points.
    bool getManhattan();

    // mywidget_views.cpp
    void getParameters();
    QPixmap plot0(QList<int> positions, QList<double> values, int count);
    QPixmap plot(QList<int> positions, QList<double> values, int count);

    // mywidget_select.cpp
    void copyAndPaste();
    void selectChromosome();

protected:
    // mywidget_select.cpp
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

    // mywidget_dragdrop.cpp
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // mywidget_views.cpp: the eight controls shown only in the chromosome
    // view, in their order.
    QWidgetList chromosomeViewControls() const;

    QVBoxLayout *mainLayout;
    QHBoxLayout *topLayout;
    QVBoxLayout *imageLayout;
    QHBoxLayout *topLeftLayout;
    QVBoxLayout *middleLayout;
    QHBoxLayout *middleTopLayout;
    QHBoxLayout *controlLayout;
    QHBoxLayout *bottomLayout;
    QHBoxLayout *buttonLayout;
    QLineEdit *lineEdit1, *lineEdit2;
    QLabel *imageLabel;
    QLabel *hintLabel;
    QLabel *fileNameLabel;
    QPushButton *unzoomButton, *newFileButton, *globalButton, *saveButton, *exitButton, *removeButton,
        *saveRemoveButton;
    QCheckBox *checkBox1;
    QCheckBox *checkBox2;
    QRubberBand *rubberBand;
    int selX1 = 0, selY1 = 0, selX2 = 0, selY2 = 0;
    QStringList fileList;
    // The next file choice, taken instead of the open-file dialog: the
    // command line's file or a dropped one (empty: cannot be read).
    std::optional<QString> givenFile;
    QString filePath;
    QPixmap localPixmap;
    QRect screenRect;
    QDir currentDir;
    QPixmap globalPixmap;
};
