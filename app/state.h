// Program-wide state shared by every operation of the window.
// Defined in state.cpp, in the order that makes the log's text stream be
// destroyed (and flushed) before the log file at every process exit.
#pragma once

#include "data/loads.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVector>

// Point lists: the points on show (working) and the loaded points not yet
// removed (remaining). Index-aligned position/value pairs.
extern QList<double> Value_list;
extern QList<int> Pos_list;
extern QList<double> Value_list2;
extern QList<int> Pos_list2;

// Log file and the stream every message goes through.
extern QFile errorfile;
extern QTextStream error_stream;

// Chromosome table: one entry per chromosome run, in file order.
extern QVector<int> Start_index;
extern QVector<int> End_index;
extern QVector<int> Start_value;
extern QVector<int> End_value;
extern QVector<int> Color_value;
extern QStringList Tag;
// Byte offset in the data file of each run's first kept row, so that a
// chromosome view reads exactly that run back.
extern QVector<qint64> Start_offset;
// The data file's size and modification time when those offsets were
// taken: a file changed since is read from its start instead.
extern FileStamp Start_stamp;
// Where a gzip data file's decompression can start again, taken by the same
// load: a pick decompresses from the nearest one before its run.
extern std::shared_ptr<const SeekPoints> Start_seekPoints;

// Plot geometry of the plot last laid out.
extern int minX, maxX;
extern double minY, maxY;
extern int realMinX, realMaxX;
extern double realMaxY;
extern double pixPerX, pixPerY;
extern int GLOBAL_minX, GLOBAL_maxX;
extern double GLOBAL_pixPerX, GLOBAL_pixPerY;
extern int globaltimes;
extern int fwidth, fheight;
extern int ymargin;

// View and drawing state.
extern int globaldisplay;
extern int selected_chromosome;
extern int stripes;
extern int line;

// File names, in the file system's 8-bit encoding.
extern char filename[200];
extern char shortname[50];
extern char defaultname[100];
// The chosen data file's whole path; filename above may be cut short.
extern QString dataFilePath;

// Puts every variable above except the log back to its start-up value
// (which it also sets before main runs). Tests use it between windows.
void resetProgramState();
