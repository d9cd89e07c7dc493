// The window's geometry, painters and view switching.
#include "app/log.h"
#include "app/mywidget.h"
#include "app/state.h"
#include "geometry.h"
#include "painters.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

Geometry currentGeometry()
{
    Geometry g;
    g.realMinX = realMinX;
    g.realMaxX = realMaxX;
    g.minX = minX;
    g.maxX = maxX;
    g.realMaxY = realMaxY;
    g.minY = minY;
    g.maxY = maxY;
    g.fwidth = fwidth;
    g.fheight = fheight;
    g.ymargin = ymargin;
    g.pixPerX = pixPerX;
    g.pixPerY = pixPerY;
    return g;
}

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
    const Geometry g = computeGeometry(Pos_list, Value_list, screenRect);
    realMinX = g.realMinX;
    realMaxX = g.realMaxX;
    minX = g.minX;
    maxX = g.maxX;
    realMaxY = g.realMaxY;
    minY = g.minY;
    maxY = g.maxY;
    fwidth = g.fwidth;
    fheight = g.fheight;
    ymargin = g.ymargin;
    pixPerX = g.pixPerX;
    pixPerY = g.pixPerY;
    ++globaltimes;
    if (globaldisplay == 1 && globaltimes == 1) {
        error_stream << "Get GLOBAL\n";
        GLOBAL_minX = minX;
        GLOBAL_maxX = maxX;
        GLOBAL_pixPerX = pixPerX;
        GLOBAL_pixPerY = pixPerY;
    }
}

QPixmap MyWidget::plot0(QList<int> positions, QList<double> values, int count)
{
    const ChromosomeLabels chromosomes{Start_value, Color_value, Tag};
    QPixmap pixmap = paintGenomeWide(positions, values, count, plotFrame(currentGeometry(), stripes != 0),
                                     chromosomes, QString::fromUtf8(shortname));
    globaldisplay = 1;
    return pixmap;
}

QPixmap MyWidget::plot(QList<int> positions, QList<double> values, int count)
{
    ChromosomePlotOptions options;
    options.realMinX = realMinX;
    options.realMaxX = realMaxX;
    options.segments = line != 0;
    options.lineEdit1 = lineEdit1->text();
    options.lineEdit2 = lineEdit2->text();
    return paintChromosome(positions, values, count, plotFrame(currentGeometry(), stripes != 0), options);
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
