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

class MyWidget : public QWidget
{
    Q_OBJECT

public:
    // firstFile (from the command line) takes the place of the first
    // open-file dialog; a null string shows the dialog.
    explicit MyWidget(QWidget *parent = nullptr, const QString &firstFile = QString());

signals:
    void getSize();

public slots:
    void checkBox1Action();
    void checkBox2Action();
    void saveAndRemove();
    void Save();
    bool makeFile();
    void getFilename();
    void displayGlobal();
    void displayLocal();
    void reloadPhoto();
    void reloadPhoto0();
    void showRemaining();
    void removeSelection();

public:
    void getParameters();
    void getManhattan0();
    // False (after its log line) when the run holds fewer than two points.
    bool getManhattan();
    void copyAndPaste();
    void selectChromosome();
    QPixmap plot0(QList<int> positions, QList<double> values, int count);
    QPixmap plot(QList<int> positions, QList<double> values, int count);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // The eight controls shown only in the chromosome view, in their order.
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
