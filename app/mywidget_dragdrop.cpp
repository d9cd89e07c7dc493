// A data file dropped on the window opens as if chosen with "&New File".
#include "mywidget.h"

#include "filechoice.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

// The one readable local file a drag carries, or an empty string.
QString droppedFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().first().isLocalFile())
        return QString();
    return readableFilePath(mime->urls().first().toLocalFile());
}

} // namespace

void MyWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MyWidget::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return event->ignore();
    event->acceptProposedAction();
    givenFile = path;
    // Loaded once the drop is over, so the file manager is not kept waiting.
    QMetaObject::invokeMethod(this, &MyWidget::getFilename, Qt::QueuedConnection);
}
