#include "mywidget.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MyWidget window(nullptr);
    window.setWindowTitle(QStringLiteral("TIVREL 0.1 by Ruvetti  (contact@tivrel.org)"));
    window.move(5, 5);
    window.show();
    return app.exec();
}
