// The window's save operations.
#include "filechoice.h"
#include "log.h"
#include "mywidget.h"
#include "state.h"
#include "export/savefiles.h"

#include <QFile>
#include <QInputDialog>
#include <QLineEdit>

namespace {

const char *const kOverwritesDataFile = "Output file is the open data file, choose another name!";

// The genome-wide picture as shortname.png in the working directory, unless
// that name is the data file itself.
void saveGenomeWideImage(const QPixmap &picture)
{
    const QString image = QFile::decodeName(shortname) + QLatin1String(".png");
    if (sameFile(image, dataFilePath))
        logLine(QLatin1String(kOverwritesDataFile));
    else
        picture.save(image);
}

} // namespace

bool MyWidget::makeFile()
{
    QString data, image;
    for (;;) {
        bool accepted = false;
        filePath = QInputDialog::getText(this, tr("Enter new filename"), tr("File name * or *.txt"),
                                         QLineEdit::Normal, QFile::decodeName(defaultname), &accepted);
        if (!accepted || filePath.isEmpty())
            return false;
        copyName(defaultname, sizeof defaultname, QFile::encodeName(filePath), 50);
        data = dataFileName(filePath);
        image = imageFileName(data);
        if (!sameFile(data, dataFilePath) && !sameFile(image, dataFilePath))
            break;
        // Saving there would destroy the data file on show: ask again.
        logLine(QLatin1String(kOverwritesDataFile));
    }
    const QString label = Tag.value(selected_chromosome);
    if (!writeDataFile(data, label, Pos_list, Value_list))
        logTextAndExit(QStringLiteral("Could not generate outpout file!"));
    if (!localPixmap.save(image))
        logLine(QStringLiteral("Could not write image file!"));
    return true;
}

void MyWidget::Save()
{
    if (globaldisplay == 1)
        saveGenomeWideImage(globalPixmap);
    else
        makeFile();
}

void MyWidget::saveAndRemove()
{
    if (Tag.isEmpty()) // no data, so no plot laid out yet
        return;
    if (globaldisplay == 1)
        saveGenomeWideImage(globalPixmap);
    else if (makeFile())
        removeSelection();
}
