#include "state.h"

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

int minX = -1, maxX = 0;
double minY = 0, maxY = 0;
int realMinX = 0, realMaxX = 0;
double realMaxY = 0;
double pixPerX = 0, pixPerY = 0;
int GLOBAL_minX = 0, GLOBAL_maxX = 0;
double GLOBAL_pixPerX = 0, GLOBAL_pixPerY = 0;
int globaltimes = 0;
int fwidth = 0, fheight = 0;
int ymargin = 0;

int globaldisplay = 1;
int selected_chromosome = -1;
int stripes = 0;
int line = 0;

char filename[200] = {};
char shortname[50] = {};
char defaultname[100] = "file";
QString dataFilePath;
