#include "state.h"

#include <cstring>

// Construction order matters: error_stream after errorfile, so that at exit
// the stream is destroyed first and writes its pending text into the log.
QList<double> Value_list;
QList<int> Pos_list;
QList<double> Value_list2;
QList<int> Pos_list2;
QFile errorfile;
QTextStream error_stream;
QVector<int> Start_index;
QVector<int> End_index;
QVector<int> Start_value;
QVector<int> End_value;
QVector<int> Color_value;
QStringList Tag;
QVector<qint64> Start_offset;
FileStamp Start_stamp;
std::shared_ptr<const SeekPoints> Start_seekPoints;

// Their start-up values are set by resetProgramState, below.
int minX, maxX;
double minY, maxY;
int realMinX, realMaxX;
double realMaxY;
double pixPerX, pixPerY;
int GLOBAL_minX, GLOBAL_maxX;
double GLOBAL_pixPerX, GLOBAL_pixPerY;
int globaltimes;
int fwidth, fheight;
int ymargin;

int globaldisplay;
int selected_chromosome;
int stripes;
int line;

char filename[200];
char shortname[50];
char defaultname[100];
QString dataFilePath;

void resetProgramState()
{
    Value_list = Value_list2 = {};
    Pos_list = Pos_list2 = {};
    Start_index = End_index = Start_value = End_value = Color_value = {};
    Tag = {};
    Start_offset = {};
    Start_stamp = {};
    Start_seekPoints = nullptr;

    minX = -1;
    maxX = 0;
    minY = maxY = 0;
    realMinX = realMaxX = 0;
    realMaxY = 0;
    pixPerX = pixPerY = 0;
    GLOBAL_minX = GLOBAL_maxX = 0;
    GLOBAL_pixPerX = GLOBAL_pixPerY = 0;
    globaltimes = 0;
    fwidth = fheight = 0;
    ymargin = 0;

    globaldisplay = 1;
    selected_chromosome = -1;
    stripes = 0;
    line = 0;

    std::memset(filename, 0, sizeof filename);
    std::memset(shortname, 0, sizeof shortname);
    std::memset(defaultname, 0, sizeof defaultname);
    std::strcpy(defaultname, "file");
    dataFilePath.clear();
}

// Defined last, so every variable above is constructed when it runs.
[[maybe_unused]] static const bool startUpValuesSet = (resetProgramState(), true);
