// Child process for the save tests: opens the data file given as first
// argument, answers the save's name dialog with the second argument and
// saves. A save that cannot write ends the process itself; returning from
// here means it did not.
#include "app/mywidget.h"
#include "support/testsupport.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    answerFileDialog(QString::fromLocal8Bit(argv[1]));
    MyWidget window;
    answerTextDialog(QString::fromLocal8Bit(argv[2]));
    window.Save();
    return 0;
}
