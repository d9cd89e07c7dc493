// The window's mouse box, chromosome pick, zoom, removal and unzoom.
#include "log.h"
#include "mywidget.h"
#include "state.h"
#include "statebridge.h"

#include <QLabel>
#include <QMouseEvent>
#include <QRubberBand>
#include <QTextStream>

#include <algorithm>

namespace {

// A mouse position in whole pixels, truncated toward zero (toPoint would
// round to nearest under fractional scaling or with a tablet).
QPoint wholePixels(const QMouseEvent *event)
{
    const QPointF p = event->position();
    return QPoint(int(p.x()), int(p.y()));
}

} // namespace

void MyWidget::mousePressEvent(QMouseEvent *event)
{
    const QPoint p = imageLabel->mapFromParent(wholePixels(event));
    selX1 = p.x();
    selY1 = p.y();
    rubberBand->setGeometry(QRect(p, QSize()));
    rubberBand->show();
}

void MyWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = imageLabel->mapFromParent(wholePixels(event));
    selX2 = p.x();
    selY2 = p.y();
    // Ordered corners: QRect::normalized would shrink a box dragged up or to
    // the left by a pixel on each side.
    rubberBand->setGeometry(QRect(QPoint(std::min(selX1, selX2), std::min(selY1, selY2)),
                                  QPoint(std::max(selX1, selX2), std::max(selY1, selY2))));
}

void MyWidget::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint p = imageLabel->mapFromParent(wholePixels(event));
    const Box box = settleBox(Box{selX1, selY1, p.x(), p.y()}, imageLabel->width(), imageLabel->height());
    selX1 = box.x1;
    selY1 = box.y1;
    selX2 = box.x2;
    selY2 = box.y2;
    if (!box.hasArea())
        return;
    if (globaldisplay != 0)
        selectChromosome();
    else
        copyAndPaste();
}

void MyWidget::selectChromosome()
{
    // Kept to put back should the picked run be too short to show.
    const int oldChromosome = selected_chromosome;
    const Geometry oldGeometry = shownGeometry();

    restoreGenomeWideGeometry();
    const Pick pick = pickChromosome(selX1, selX2, GLOBAL_pixPerX, axisOriginX(GLOBAL_minX, GLOBAL_maxX),
                                     Start_value, End_value);
    selected_chromosome = pick.index;
    const int i = pick.index;
    QString entry; // numbers in the text stream's own notation
    QTextStream(&entry) << "select chrom " << Tag[i] << " " << i << " point " << pick.point << " position "
                        << pick.position << " start " << Start_value[i] << " end " << End_value[i]
                        << " pixPerX " << GLOBAL_pixPerX << " minX " << GLOBAL_minX << "\n";
    logLine(entry);
    if (getManhattan()) {
        getParameters();
        reloadPhoto();
    } else {
        selected_chromosome = oldChromosome;
        setShownGeometry(oldGeometry);
    }
    rubberBand->hide();
}

void MyWidget::copyAndPaste()
{
    const Area area = boxArea(Box{selX1, selY1, selX2, selY2}, shownMap());
    setShownPoints(pointsInside(Pos_list, Value_list, area));
    getParameters();
    reloadPhoto();
    rubberBand->hide();
}

void MyWidget::removeSelection()
{
    if (Tag.isEmpty()) // no data, so no plot laid out yet
        return;
    getParameters();
    const Area shown{minX, maxX, minY, maxY};
    Points rest = pointsOutside(Pos_list2, Value_list2, shown);
    setLoadedPoints(std::move(rest.positions), std::move(rest.values));
    getParameters();
    reloadPhoto();
}

void MyWidget::showRemaining()
{
    setShownPoints(remainingPoints());
    getParameters();
    reloadPhoto();
}
