// The program opens a data file end to end and shows its genome-wide plot.
#include "app/mywidget.h"
#include "app/state.h"
#include "support/testsupport.h"

#include <QLabel>
#include <QtTest>

class SmokeTest : public QObject
{
    Q_OBJECT
private slots:
    void opensGenomeWidePlot()
    {
        inTemporaryWorkingDirectory([](const QString &dir) {
            const QString data = writeFile(dir + "/d.txt", "CHR\tPOS\tP\n1\t100\t0.5\n1\t200\t0.01\n2\t100\t1e-8\n2\t300\t0.2\n");
            answerFileDialog(data);
            MyWidget w;
            QCOMPARE(Tag, QStringList({"1", "2"}));
            QCOMPARE(globaldisplay, 1);
            QVERIFY(logText().startsWith("Tivrel 0.1 by Ruvetti\n\nGet GLOBAL\n"));
        });
    }
};

QTEST_MAIN(SmokeTest)
#include "test_smoke.moc"
