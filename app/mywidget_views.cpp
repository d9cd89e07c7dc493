// The window's geometry, painters and view switching.
#include "log.h"
#include "mywidget.h"
#include "state.h"
#include "statebridge.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The drawing flag a check box drives: 0 unchecked, 1 checked, unchanged
// for any other state.
int flagOf(const QCheckBox *box, int old)
{
    switch (box->checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    default:
        return old;
    }
}

} // namespace

void MyWidget::getParameters()
{
    setShownGeometry(computeGeometry(Pos_list, Value_list, screenRect));
    ++globaltimes;
    if (globaldisplay == 1 && globaltimes == 1) {
        logLine(QStringLiteral("Get GLOBAL"));
        recordGenomeWideGeometry();
    }
}

QPixmap MyWidget::plot0(QList<int> positions, QList<double> values, int count)
{
    QPixmap pixmap = paintGenomeWide(positions, values, count, plotFrame(shownGeometry(), stripes != 0),
                                     chromosomeLabels(), QString::fromUtf8(shortname));
    globaldisplay = 1;
    return pixmap;
}

QPixmap MyWidget::plot(QList<int> positions, QList<double> values, int count)
{
    ChromosomePlotOptions options;
    options.realMinX = realMinX;
    options.realMaxX = realMaxX;
    options.segments = line != 0;
    options.highlight = highlightRange(lineEdit1->text(), lineEdit2->text());
    return paintChromosome(positions, values, count, plotFrame(shownGeometry(), stripes != 0), options);
}

void MyWidget::reloadPhoto0()
{
    globalPixmap = plot0(Pos_list, Value_list, int(Pos_list.size()));
    fileNameLabel->setText(QString::fromUtf8(shortname));
    displayGlobal();
}

void MyWidget::reloadPhoto()
{
    displayLocal();
    localPixmap = plot(Pos_list, Value_list, int(Pos_list.size()));
    imageLabel->setPixmap(localPixmap);
    fileNameLabel->setText(QString::fromUtf8(shortname));
}

QWidgetList MyWidget::chromosomeViewControls() const
{
    return {checkBox1, checkBox2, globalButton, unzoomButton, removeButton, saveRemoveButton, lineEdit1, lineEdit2};
}

void MyWidget::displayGlobal()
{
    if (Tag.size() < 2)
        return;
    imageLabel->setPixmap(globalPixmap);
    globaldisplay = 1;
    for (QWidget *w : chromosomeViewControls())
        w->setVisible(false);
    hintLabel->setText(QStringLiteral("HINT: Draw a box in or around a chromosome to select an entire chromsome"));
}

void MyWidget::displayLocal()
{
    globaldisplay = 0;
    for (QWidget *w : chromosomeViewControls())
        w->setVisible(true);
    hintLabel->setText(QString());
}

void MyWidget::checkBox1Action()
{
    line = flagOf(checkBox1, line);
    reloadPhoto();
}

void MyWidget::checkBox2Action()
{
    stripes = flagOf(checkBox2, stripes);
    reloadPhoto();
}
