#!/usr/bin/env python3
"""Mutation check: does some test notice when the program's code is broken?

Applies each small change below to the source, one at a time, rebuilds
incrementally, runs every test through CTest, puts the source back, and
records which tests failed. A change that no test noticed survived. Not part
of CI: a full run takes hours on two cores.

    scripts/mutate.py [--build-dir build] [--only TEXT] [--list] [--resume] [--jobs 2]

A change is (name, file, [(original, replacement), ...]): every original
must occur exactly once in the file, and the pairs are applied together.
Results go to mutate-results.tsv at the top of the tree (not in git): one
line per change with its outcome and every test that failed; --resume skips
the changes already there. The survivors are printed at the end.

Run it on a copy of the tree, since the working copy is changed while it
runs (and put back afterwards, also on Ctrl-C):
    git worktree add ../tivrel-mut && cd ../tivrel-mut && cmake -S . -B build && scripts/mutate.py
"""
import argparse
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
RESULTS = ROOT / "mutate-results.tsv"

MUTATIONS = [
    # --- app/: the window, main, the log -------------------------------------
    ("line edits swapped in the chromosome plot", "app/mywidget_views.cpp",
     [("lineEdit1->text(), lineEdit2->text()", "lineEdit2->text(), lineEdit1->text()")]),
    ("dots/segments check box inverted", "app/mywidget_views.cpp",
     [("options.segments = line != 0;", "options.segments = line == 0;")]),
    ("genome-wide title from filename instead of shortname", "app/mywidget_views.cpp",
     [("chromosomeLabels(), QString::fromUtf8(shortname)", "chromosomeLabels(), QString::fromUtf8(filename)")]),
    ("checkBox1 no longer redraws", "app/mywidget_views.cpp",
     [("line = flagOf(checkBox1, line);\n    reloadPhoto();", "line = flagOf(checkBox1, line);")]),
    ("checkBox2 no longer redraws", "app/mywidget_views.cpp",
     [("stripes = flagOf(checkBox2, stripes);\n    reloadPhoto();", "stripes = flagOf(checkBox2, stripes);")]),
    ("checked box clears its flag", "app/mywidget_views.cpp",
     [("    case Qt::Checked:\n        return 1;", "    case Qt::Checked:\n        return 0;")]),
    ("genome-wide copies taken again", "app/mywidget_views.cpp",
     [("globaldisplay == 1 && globaltimes == 1", "globaldisplay == 1 && globaltimes >= 1")]),
    ("Global allowed with one chromosome", "app/mywidget_views.cpp",
     [("if (Tag.size() < 2)", "if (Tag.size() < 1)")]),
    ("Global leaves the view flag", "app/mywidget_views.cpp",
     [("    imageLabel->setPixmap(globalPixmap);\n    globaldisplay = 1;\n", "    imageLabel->setPixmap(globalPixmap);\n")]),
    ("chromosome view keeps the hint", "app/mywidget_views.cpp",
     [("    hintLabel->setText(QString());\n", "")]),
    ("hint text changed", "app/mywidget_views.cpp",
     [("select an entire chromsome", "select an entire chromosome")]),
    ("file name label not set by the chromosome redraw", "app/mywidget_views.cpp",
     [("    imageLabel->setPixmap(localPixmap);\n    fileNameLabel->setText(QString::fromUtf8(shortname));",
       "    imageLabel->setPixmap(localPixmap);")]),
    ("Global button stays hidden in the chromosome view", "app/mywidget_views.cpp",
     [("return {checkBox1, checkBox2, globalButton,", "return {checkBox1, checkBox2,")]),
    ("Remove treats maxX as exclusive", "app/mywidget_select.cpp",
     [("Area shown{minX, maxX, minY, maxY}", "Area shown{minX, maxX - 1, minY, maxY}")]),
    ("Remove treats minY as exclusive", "app/mywidget_select.cpp",
     [("Area shown{minX, maxX, minY, maxY}", "Area shown{minX, maxX, std::nextafter(minY, 1e300), maxY}")]),
    ("rubber band not hidden after a pick", "app/mywidget_select.cpp",
     [("        setShownGeometry(oldGeometry);\n    }\n    rubberBand->hide();",
       "        setShownGeometry(oldGeometry);\n    }")]),
    ("rubber band not hidden after a zoom", "app/mywidget_select.cpp",
     [("    reloadPhoto();\n    rubberBand->hide();\n}\n\nvoid MyWidget::removeSelection",
       "    reloadPhoto();\n}\n\nvoid MyWidget::removeSelection")]),
    ("rubber band not shown on press", "app/mywidget_select.cpp", [("    rubberBand->show();\n", "")]),
    ("mouse positions rounded", "app/mywidget_select.cpp",
     [("return QPoint(int(p.x()), int(p.y()));", "return p.toPoint();")]),
    ("removal keeps the old remaining points", "app/mywidget_select.cpp",
     [("setLoadedPoints(std::move(rest.positions), std::move(rest.values));",
       "setShownPoints({std::move(rest.positions), std::move(rest.values)});")]),
    ("a failed pick keeps the picked chromosome", "app/mywidget_select.cpp",
     [("        selected_chromosome = oldChromosome;\n", "")]),
    ("pick logged with the zoom's pixPerX", "app/mywidget_select.cpp",
     [('<< " pixPerX " << GLOBAL_pixPerX', '<< " pixPerX " << pixPerX')]),
    ("unzoom shows the points on show", "app/mywidget_select.cpp",
     [("setShownPoints(remainingPoints());", "setShownPoints(shownPoints());")]),
    ("defaultname remembers the name with .txt added", "app/mywidget_save.cpp",
     [("QFile::encodeName(filePath), 50)", "QFile::encodeName(dataFileName(filePath)), 50)")]),
    ("chromosome save writes the genome-wide picture", "app/mywidget_save.cpp",
     [("localPixmap.save(image)", "globalPixmap.save(image)")]),
    ("an empty name saves", "app/mywidget_save.cpp",
     [("if (!accepted || filePath.isEmpty())", "if (!accepted)")]),
    ("save and remove removes after a cancel", "app/mywidget_save.cpp",
     [("else if (makeFile())\n        removeSelection();", "else {\n        makeFile();\n        removeSelection();\n    }")]),
    ("a save over the data file's picture is allowed", "app/mywidget_save.cpp",
     [("!sameFile(data, dataFilePath) && !sameFile(image, dataFilePath)", "!sameFile(data, dataFilePath)")]),
    ("genome-wide save writes over the data file", "app/mywidget_save.cpp",
     [("    if (sameFile(image, dataFilePath))\n", "    if (false)\n")]),
    ("a failed save goes on", "app/mywidget_save.cpp",
     [('logTextAndExit(QStringLiteral("Could not generate outpout file!"));',
       'logLine(QStringLiteral("Could not generate outpout file!"));')]),
    ("save dialog offers the data file's name", "app/mywidget_save.cpp",
     [("QFile::decodeName(defaultname), &accepted", "QFile::decodeName(shortname), &accepted")]),
    ("open-file dialog caption changed", "app/mywidget.cpp",
     [('"Welcome to  TIVREL !  Select File"', '"Welcome to TIVREL ! Select File"')]),
    ("open-file dialog filter changed", "app/mywidget.cpp",
     [('tr("Image Files (*.txt *.csv)', 'tr("Image Files (*.txt)')]),
    ("fileList kept from the previous directory", "app/mywidget.cpp",
     [("    fileList.clear();\n", ""), ("fileList = listDataFiles(", "fileList += listDataFiles(")]),
    ("a log file that cannot be opened is ignored", "app/mywidget.cpp",
     [("if (!startLog())\n        std::exit(1);", "startLog();")]),
    ("separators raised instead of sunken", "app/mywidget.cpp",
     [("QFrame::HLine | QFrame::Sunken", "QFrame::HLine | QFrame::Raised")]),
    ("next dialog starts in the working directory", "app/mywidget.cpp",
     [("        currentDir = QFileInfo(filePath).absoluteDir();\n", "")]),
    ("short name of 31 bytes", "app/mywidget.cpp",
     [("QFile::encodeName(chosen.fileName()), 30)", "QFile::encodeName(chosen.fileName()), 31)")]),
    ("one chromosome opens in the genome-wide view", "app/mywidget.cpp",
     [("if (Tag.size() == 1) {", "if (Tag.size() == 0) {")]),
    ("the unchecked box starts checked", "app/mywidget.cpp",
     [("checkBox1->setCheckState(Qt::Unchecked);", "checkBox1->setCheckState(Qt::Checked);")]),
    ("Exit button style changed", "app/mywidget.cpp",
     [('"background:darkred; color:white;', '"background:darkred; color:black;')]),
    ("plot label filled with another grey", "app/mywidget.cpp",
     [("QColor(150, 150, 150, 255)", "QColor(160, 160, 160, 255)")]),
    ("drops refused", "app/mywidget.cpp", [("    setAcceptDrops(true);\n", "")]),
    ("a drop of several files opens the first", "app/mywidget_dragdrop.cpp",
     [("mime->urls().size() != 1", "mime->urls().size() < 1")]),
    ("a refused drop is accepted", "app/mywidget_dragdrop.cpp",
     [("        return event->ignore();", "        return event->accept();")]),
    ("a pipe counts as a readable file", "app/filechoice.cpp",
     [("path.isEmpty() || !info.isFile() ||", "path.isEmpty() ||")]),
    ("the listing takes every file", "app/filechoice.cpp",
     [('dir.entryList({QStringLiteral("*.txt"), QStringLiteral("*.csv")}, QDir::Files',
       "dir.entryList(QDir::Files")]),
    ("a name cut inside a character", "app/filechoice.cpp",
     [("while (n > 0 && (uchar(encoded[n]) & 0xC0) == 0x80)", "while (false)")]),
    ("the pick's log line written after its load", "app/mywidget_loads.cpp",
     [("    if (run.layoutSettled)\n", "    if (run.fault == Fault::None)\n")]),
    ("a one-row run ends the program", "app/mywidget_loads.cpp",
     [("if (run.fault == Fault::TooFewRowsChromosome) {", "if (false) {")]),
    ("the columns read are not logged", "app/mywidget_loads.cpp",
     [("for (const QString &line : genomeWideLog(g))\n        logLine(line);",
       "if (g.fault != Fault::None)\n        logLine(faultMessage(g.fault));")]),
    ("main sets another title", "app/main.cpp", [("(contact@tivrel.org)", "(contact@tivrel.com)")]),
    ("main places the window elsewhere", "app/main.cpp", [("move(5, 5)", "move(0, 0)")]),
    ("main's exit status lost", "app/main.cpp", [("return app.exec();", "app.exec();\n    return 3;")]),
    ("two files on the command line accepted", "app/main.cpp", [("if (files.size() > 1) {", "if (files.size() > 2) {")]),
    ("--help answered with status 1", "app/main.cpp", [("parser.showHelp(0);", "parser.showHelp(1);")]),
    ("--version asks for a display", "app/main.cpp",
     [('version = version || std::strcmp(argv[i], "-v") == 0 || std::strcmp(argv[i], "--version") == 0;',
       'version = version || std::strcmp(argv[i], "-v") == 0;')]),
    ("version changed", "app/main.cpp", [('setApplicationVersion(QStringLiteral("0.1"))', 'setApplicationVersion(QStringLiteral("0.2"))')]),
    ("log header with one line feed", "app/log.h", [('"Tivrel 0.1 by Ruvetti\\n\\n"', '"Tivrel 0.1 by Ruvetti\\n"')]),
    ("a failed save's message ends its line", "app/log.cpp",
     [("    logText(text);\n    std::exit(1);", "    logLine(text);\n    std::exit(1);")]),
    ("a new log keeps the old one's text", "app/log.cpp",
     [("errorfile.open(QIODevice::WriteOnly | QIODevice::Text)", "errorfile.open(QIODevice::Append | QIODevice::Text)")]),
    ("the log not written through", "app/log.cpp",
     [("    error_stream << text;\n    error_stream.flush();", "    error_stream << text;")]),

    # --- data/numbers: conversions as Qt's ---------------------------------
    ("fast integer path takes 10 digits", "data/numbers.h", [("end - p <= 9)", "end - p <= 10)")]),
    ("fast integer path takes a colon for a digit", "data/numbers.h", [("if (digit > 9)", "if (digit > 10)")]),
    ("trailing blanks kept by the scanner", "data/numbers.cpp",
     [("    while (end != p && quint8(end[-1]) <= ' ' && isAsciiSpace(end[-1]))\n        --end;\n", "")]),
    ("exact mantissas up to 2^54", "data/numbers.cpp", [("quint64(1) << 53;", "quint64(1) << 54;")]),
    ("exact powers up to 10^23", "data/numbers.cpp",
     [("kExactPower = 22;", "kExactPower = 23;"), ("1e20, 1e21, 1e22};", "1e20, 1e21, 1e22, 1e23};")]),
    ("one more significant digit kept", "data/numbers.cpp",
     [("} else if (kept < kMantissaDigits) {", "} else if (kept <= kMantissaDigits) {")]),
    ("leading zeros of a fraction not counted", "data/numbers.cpp",
     [("if (mantissa == 0 && digit == 0) { // a leading zero\n            if (fraction)\n                --exponent;",
       "if (mantissa == 0 && digit == 0) { // a leading zero")]),
    ("exponent's minus sign ignored", "data/numbers.cpp",
     [("exponent += negativeExponent ? -e : e;", "exponent += e;")]),
    ("a NUL inside a number ignored", "data/numbers.cpp", [("return text.contains('\\0');", "return false;")]),
    ("from_chars trusted below DBL_MIN", "data/numbers.cpp", [("std::fabs(v) >= DBL_MIN", "std::fabs(v) > 0")]),
    ("the score from the natural logarithm", "data/vectorstate.h", [("return std::log10(x);", "return std::log(x);")]),

    # --- data/linereader: lines as a text stream gives them ----------------
    ("CRs kept", "data/linereader.cpp",
     [("    char *out = static_cast<char *>(std::memchr(data, '\\r', size_t(size)));\n    if (!out)",
       "    char *out = static_cast<char *>(std::memchr(data, '\\r', size_t(size)));\n    if (true)")]),
    ("a CR inside a UTF-8 sequence dropped plainly", "data/linereader.cpp",
     [("std::memset(out - unfinished, 0xff, size_t(unfinished));", "(void)unfinished;")]),
    ("UTF-8 byte-order mark kept", "data/linereader.cpp", [("startOffset_ = 3;", "startOffset_ = 0;")]),
    ("a seek to 0 reads the byte-order mark", "data/linereader.cpp",
     [("    offset = std::max(offset, startOffset_);\n", "")]),
    ("an unfinished sequence at the end shown", "data/linereader.cpp",
     [("        stop -= unfinishedSequenceLength(data + pos_, stop - pos_);\n", "")]),
    ("a lead byte past 0xf4 starts a sequence", "data/linereader.cpp", [("u >= 0xf0 && u <= 0xf4", "u >= 0xf0 && u <= 0xf7")]),
    ("damaged compressed data ends the file silently", "data/linereader.cpp",
     [("    if (got <= 0) {\n        eof_ = true;\n        damaged_ = source_->damaged();\n", "    if (got <= 0) {\n        eof_ = true;\n")]),
    ("the buffer never grows", "data/linereader.cpp",
     [("if (buffer_.size() - end_ < room)", "if (buffer_.size() - end_ < 0)")]),
    ("a line at a bgzip block's start placed in the block before", "data/linereader.cpp",
     [("[](qsizetype a, const TextPiece &p) { return a < p.at; }", "[](qsizetype a, const TextPiece &p) { return a <= p.at; }")]),
    ("a bad line in a gzip file never blamed on damage", "data/linereader.cpp",
     [("    while (!eof_) {\n        pos_ = end_;\n        fill(kReadSize);\n    }\n", "")]),

    # --- data/*source.cpp: the bytes of plain, gzip, bgzip and zstd files --
    ("a zstd file read as plain text", "data/sources.cpp", [("magic == 0xFD2FB528u ||", "magic == 0xFD2FB529u ||")]),
    ("a gzip file read as plain text", "data/sources.cpp", [('head.startsWith("\\x1f\\x8b")', 'head.startsWith("\\x1f\\x8c")')]),
    ("a gzip file read as bgzip", "data/sources.cpp", [("compression == 1 ? Kind::Gzip :", "compression == 1 ? Kind::Bgzip :")]),
    ("a gzip header cut short told as a file that cannot be opened", "data/sources.cpp",
     [("    case Kind::Damaged:\n        break;\n    }\n    damaged = true;\n", "    case Kind::Damaged:\n        break;\n    }\n")]),
    ("a gzip seek forward skips too much", "data/gzipsource.cpp",
     [("in.skip = offset - in.out; // on from here", "in.skip = offset; // on from here")]),
    ("big gzip files end at their first damaged block silently", "data/gzipsource.cpp",
     [("        if (isal_inflate(&s) != ISAL_DECOMP_OK)\n            return fail();", "        if (isal_inflate(&s) != ISAL_DECOMP_OK)\n            return 0;")]),
    ("a second gzip member ignored", "data/gzipsource.cpp",
     [("            if (s.avail_in == 0 && !in_->refill())\n                return 0;\n", "            return 0;\n")]),
    ("a gzip file cut short ends silently", "data/gzipsource.cpp",
     [("            return fail(); // cut short", "            return 0; // cut short"),
      ("        if (s.avail_out > 0 && s.avail_in == 0 && s.block_state != ISAL_BLOCK_FINISH && in_->file.atEnd())\n            return fail();\n", "")]),
    ("a seek point's input place taken at its buffer's start", "data/gzipsource.cpp",
     [("points.push_back({out, inputAt + (state.next_in - input.data()), std::move(saved)});",
       "points.push_back({out, inputAt, std::move(saved)});")]),
    ("a bgzip file without its end-of-file block read", "data/bgzipsource.cpp", [(" && bgzf_check_EOF(bgzf_) == 1", "")]),
    ("a bgzip block that htslib reads as gzip taken", "data/bgzipsource.cpp",
     [("bgzf_read_block(bgzf_) != 0 || bgzf_->is_gzip)", "bgzf_read_block(bgzf_) != 0)")]),
    ("a bgzip seek into a block starts at the block's start", "data/bgzipsource.cpp",
     [("const qint64 from = bgzf_->block_offset;", "const qint64 from = 0;")]),
    ("bgzip offsets without the block's address", "data/bgzipsource.cpp",
     [("offset = bgzf_->block_address << 16 | from;", "offset = from;")]),
    ("a big bgzip file's damage taken for its end", "data/bgzipsource.cpp",
     [("(length == 0 && threads_ && !endConfirmed())", "(length == 0 && false)")]),
    ("a zstd file cut inside a frame ends silently", "data/zstdsource.cpp",
     [("if (d.in.pos == d.in.size && d.endOfFile && d.hint == 0)", "if (d.in.pos == d.in.size && d.endOfFile)"),
      ("        if (d.hint != 0 && output.pos < output.size && d.in.pos == d.in.size && d.file.atEnd())\n            return fail();\n", "")]),
    ("a zstd decoding error read as the end", "data/zstdsource.cpp",
     [("        if (ZSTD_isError(d.hint))\n            return fail();", "        if (ZSTD_isError(d.hint))\n            return 0;")]),
    ("a zstd seek forward skips too much", "data/zstdsource.cpp", [("d_->skip = offset - d_->out;", "d_->skip = offset;")]),

    # --- data/reader and data/columns: layout and rows ---------------------
    ("comma chosen before space", "data/reader.cpp", [("{'\\t', ' ', ','}", "{'\\t', ',', ' '}")]),
    ("NA p-values not skipped", "data/reader.cpp",
     [("Score fromPValue(QByteArrayView text)\n{\n    if (isMissing(text))\n        return {};\n",
       "Score fromPValue(QByteArrayView text)\n{\n")]),
    ("zero p-values refused", "data/reader.cpp",
     [("            return log10;\n    }\n    return score;",
       "            return log10;\n    }\n    return score.kind == Score::Zero ? bad(Fault::InvalidPValue) : score;")]),
    ("negative p-values accepted", "data/reader.cpp", [("if (!(*value > 0) || !std::isfinite(*value))", "if (!std::isfinite(*value))")]),
    ("infinite -log10 p accepted", "data/reader.cpp",
     [("if (!std::isfinite(*value) || *value < 0)", "if (*value < 0)")]),
    ("a header needs every field to be text", "data/reader.cpp",
     [("l.header = !std::all_of(fields.begin(), fields.end(), isNumericField);",
       "l.header = std::none_of(fields.begin(), fields.end(), isNumericField);")]),
    ("tiny negative numbers count as numbers", "data/reader.cpp",
     [("return magnitude && !magnitude->negative && magnitude->log10 < 0;", "return magnitude && magnitude->log10 < 0;")]),
    ("comment lines after the header read as rows", "data/reader.cpp",
     [("    if (layout.comments && line.startsWith('#'))\n        return row;\n", "")]),
    ("every test of a variant kept", "data/reader.cpp",
     [("if (layout.testColumn != 0 && f.count >= layout.testColumn && f[Test] != QByteArrayView(layout.test))", "if (false)")]),
    ("quotes kept in rows", "data/reader.cpp",
     [("l.blankRuns ? cutAs<true, true>(line, l, f) : cutAs<false, true>(line, l, f);",
       "l.blankRuns ? cutAs<true, false>(line, l, f) : cutAs<false, false>(line, l, f);")]),
    ("aligned columns need three blanks", "data/reader.cpp", [('headerLine.contains("  ")', 'headerLine.contains("   ")')]),
    ("-log10 p-values negated", "data/reader.cpp", [("return {*value, Score::Value};", "return {-*value, Score::Value};")]),
    ("compatible reading not tried after too few columns", "data/reader.cpp",
     [(" || f == Fault::TooFewColumns", "")]),
    ("a '#' name is a comment", "data/reader.cpp",
     [("return !isColumnName(first) && !isColumnName(QString::fromUtf8(unquoted(line.sliced(1, end - 1))));",
       "return !isColumnName(first);")]),
    ("the test kept is that of the first data line, even a comment", "data/reader.cpp",
     [("if (line.isEmpty() || (l.comments && line.startsWith('#')))", "if (line.isEmpty())")]),
    ("a short row's missing columns not told", "data/reader.cpp",
     [("    if (!hasMainFields(f, layout)) {\n", "    if (false) {\n")]),
    ("position read before the p-value", "data/reader.cpp",
     [("    const Score score = rowScore(f, layout);\n",
       "    if (!toInt32(positionText)) {\n        row.kind = Row::Bad;\n        row.fault = Fault::NonIntegerPosition;\n        return row;\n    }\n"
       "    const Score score = rowScore(f, layout);\n")]),
    ("column names matched with case", "data/columns.cpp",
     [("return name.contains(QLatin1String(part), Qt::CaseInsensitive);", "return name.contains(QLatin1String(part));")]),
    ("a p-value column named p not found", "data/columns.cpp", [(' || n == QLatin1String("p");', ";")]),
    ("an id column is no chromosome column", "data/columns.cpp", [('{"chr", "some", "id"}', '{"chr", "some"}')]),
    ("BOLT-LMM's infinitesimal p-value preferred", "data/columns.cpp",
     [('"P_BOLT_LMM", "P_BOLT_LMM_INF",', '"P_BOLT_LMM_INF", "P_BOLT_LMM",')]),
    ("TEST matched without case", "data/columns.cpp",
     [("return n == kTestName; });", "return n.compare(kTestName, Qt::CaseInsensitive) == 0; });")]),
    ("-log10 column for zero p-values not used", "data/columns.cpp",
     [("l.log10Column = l.pIsLog10 ? 0 : findByNameOr(names, kLog10Names, [](const QString &n) {\n"
       "        return containsAny(n, {\"neglog10\", \"mlog\", \"log10p\"});\n    });", "l.log10Column = 0;")]),
    ("unnamed fields counted from 0", "data/columns.cpp", [('QStringLiteral("field %1").arg(column)', 'QStringLiteral("field %1").arg(column - 1)')]),
    ("#CHR is no column name", "data/columns.cpp", [('"CHROMOSOME", "#CHR"}', '"CHROMOSOME"}')]),
    ("the first line's rules before the exact names", "data/columns.cpp",
     [("    const int column = findByName(names, table);\n    return column != 0 ? column : findColumn(names, rule);",
       "    const int column = findColumn(names, rule);\n    return column != 0 ? column : findByName(names, table);")]),

    # --- data/loads and chunkedrows: the two loads, chunks joined -----------
    ("genome-wide load accepts fewer than two rows", "data/loads.cpp",
     [("if (g.scores.size() < 2) {", "if (g.scores.size() < 1) {")]),
    ("empty line inside a run not skipped in the chromosome load", "data/loads.cpp",
     [("    while (run.positions.size() < count && reader.readLine(line, lineOffset)) {\n        if (line.isEmpty())\n            continue;\n",
       "    while (run.positions.size() < count && reader.readLine(line, lineOffset)) {\n")]),
    ("first run opened only for a non-empty label", "data/chunkedrows.cpp",
     [("if (!last || (text.constData() != last->constData() && text != *last)) {",
       "if ((!last && !text.isEmpty()) || (last && text.constData() != last->constData() && text != *last)) {")]),
    ("x rounded down instead of toward zero", "data/chunkedrows.cpp",
     [("rows.q.append(row.position / 100);", "rows.q.append(row.position / 100 - (row.position % 100 < 0));")]),
    ("a run's x starts where the one before ended", "data/loads.cpp", [("startValues[r] = int(offsetX + 1);", "startValues[r] = int(offsetX);")]),
    ("colours start grey", "data/loads.cpp", [("t.colorValue.append(k % 2 == 0 ? 255 : 50);", "t.colorValue.append(k % 2 == 0 ? 50 : 255);")]),
    ("x of INT_MAX refused", "data/loads.cpp", [("if (value < INT_MIN || value > INT_MAX) {", "if (value < INT_MIN || value >= INT_MAX) {")]),
    ("labels of one length share a slot", "data/chunkedrows.cpp", [("if (slot.size == size && slot.key == key)", "if (slot.size == size)")]),
    ("another label's NA line does not end the first block", "data/loads.cpp",
     [("if (start ? row.kind != Row::Skipped : inBlock)", "if (row.kind != Row::Skipped && (start || inBlock))")]),
    ("a changed file read from the old offset", "data/loads.cpp", [("if (fileStamp(path) != seen)", "if (false)")]),
    ("labels compared by their bytes only", "data/loads.cpp",
     [("if (bytes.isValidUtf8() && !bytes.startsWith(\"\\xef\\xbb\\xbf\"))", "if (true)")]),
    ("another label's bad value ends a pick", "data/loads.cpp",
     [("if (row.kind == Row::Bad && row.fault == Fault::MissingColumns) {", "if (row.kind == Row::Bad) {")]),
    ("a bad row of a damaged file reported as such", "data/loads.cpp",
     [("return reader.restIsDamaged() ? damage(reader) : fault;", "return fault;")]),
    ("damage after the last row of a pick not told", "data/loads.cpp",
     [("    if (reader.damaged())\n        run.fault = damage(reader);\n    else if", "    if")]),
    ("a chunk's first row carries on the run before whatever its label", "data/loads.cpp",
     [("!t.tags.isEmpty() && starts > 0 && rows->startTags[0] == t.tags.constLast();", "!t.tags.isEmpty() && starts > 0;")]),
    ("a run across a chunk border split in two", "data/loads.cpp",
     [("starts > 0 && rows->startTags[0] == t.tags.constLast();", "starts > 0 && false;")]),
    ("a run starting a chunk placed at x 1", "data/loads.cpp",
     [("const qint64 offsetX = first + from > 0 ? previousX : 0;", "const qint64 offsetX = from > 0 ? previousX : 0;")]),
    ("a chunk's last bad line told instead of its first", "data/chunkedrows.cpp",
     [("            rows.fault = row.fault;\n            return;", "            rows.fault = row.fault;\n            continue;")]),
    ("a run's offset taken at its chunk's start", "data/chunkedrows.cpp",
     [("rows.startOffsets.append(chunk.offsetAt(at));", "rows.startOffsets.append(chunk.offsetAt(0));")]),

    # --- plot/: geometry, painters, dots --------------------------------------
    ("column back to position off by one", "plot/geometry.cpp",
     [("return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + originX;",
       "return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + originX + 1;")]),
    ("row back to value off by one", "plot/geometry.cpp",
     [("return (fheight - ymargin - row) / pixPerY + originY;", "return (fheight - ymargin - row + 1) / pixPerY + originY;")]),
    ("position pad 6 %", "plot/geometry.cpp", [("g.realMinX) * 0.05)", "g.realMinX) * 0.06)")]),
    ("value pad 4 %", "plot/geometry.cpp", [("(high - low) * 0.05", "(high - low) * 0.04")]),
    ("picture 70 % high", "plot/geometry.cpp", [("0.75 * screen.height()", "0.7 * screen.height()")]),
    ("picture 75 % wide", "plot/geometry.cpp", [("0.8 * screen.width()", "0.75 * screen.width()")]),
    ("title shows the smallest value", "plot/geometry.cpp", [("g.realMaxY = high;", "g.realMaxY = low;")]),
    ("x axis of no spread not widened", "plot/geometry.cpp", [("return minX == maxX ? clampToInt(qint64(minX) - 1) : minX;", "return minX;")]),
    ("y axis of no spread not widened", "plot/geometry.cpp", [("return minY == maxY ? minY - 1 : minY;", "return minY;")]),
    ("pixels rounded to nearest", "plot/geometry.h",
     [("return int(std::clamp(value, -limit, limit));", "return int(std::lround(std::clamp(value, -limit, limit)));")]),
    ("realMaxX padded from the first position", "plot/geometry.cpp", [("g.maxX = clampToInt(g.realMaxX + pad);", "g.maxX = clampToInt(g.realMinX + pad);")]),
    ("realMaxX swapped with realMinX in the bottom labels", "plot/painters.cpp",
     [("Qt::AlignLeft | Qt::AlignBottom, groupThousands(options.realMinX)",
       "Qt::AlignLeft | Qt::AlignBottom, groupThousands(options.realMaxX)"),
      ("Qt::AlignRight | Qt::AlignBottom, groupThousands(options.realMaxX)",
       "Qt::AlignRight | Qt::AlignBottom, groupThousands(options.realMinX)")]),
    ("last point of the chromosome plot not drawn", "plot/painters.cpp",
     [("for (int i = 0; i < count; ++i)\n            dots.dot(", "for (int i = 0; i < count - 1; ++i)\n            dots.dot(")]),
    ("last point of the genome-wide plot not drawn", "plot/painters.cpp",
     [("for (int i = 0; i < count; ++i) {\n        const int x = map.x(position[i]);",
       "for (int i = 0; i < count - 1; ++i) {\n        const int x = map.x(position[i]);")]),
    ("threshold lines drawn whatever the check box says", "plot/painters.cpp", [("    if (!frame.stripes)\n        return;\n", "")]),
    ("genome-wide threshold at 7", "plot/painters.cpp", [('{7.3, QColor(25, 180, 25), "7.3"}', '{7.0, QColor(25, 180, 25), "7.3"}')]),
    ("marks 2 pixels wide on the chromosome plot", "plot/painters.cpp", [("Canvas canvas(frame, 4);", "Canvas canvas(frame, 2);")]),
    ("chromosome title without max=", "plot/painters.cpp", [('QStringLiteral("max=")', 'QStringLiteral("max: ")')]),
    ("a point before the second start takes the first colour", "plot/painters.cpp",
     [("if (k >= 1)\n            red = colorValue[k];", "red = colorValue[k];")]),
    ("labels of negative width skipped", "plot/painters.cpp", [("if (last == first)\n        return;", "if (last <= first)\n        return;")]),
    ("highlight range with three parts taken", "plot/painters.cpp",
     [("parts.size() == 2 ? parts[0] : text1", "parts.size() >= 2 ? parts[0] : text1"),
      ("parts.size() == 2 ? parts[1] : text2", "parts.size() >= 2 ? parts[1] : text2")]),
    ("highlight range of half a number taken", "plot/painters.cpp", [("    if (!okLo || !okHi)\n", "    if (!okLo && !okHi)\n")]),
    ("segments take their start's colour", "plot/painters.cpp", [("batch.add(colorAt(i), QLine(", "batch.add(colorAt(i - 1), QLine(")]),
    ("thousands grouped by four", "plot/painters.cpp", [("if (++counted == 3 && i != 0) {", "if (++counted == 4 && i != 0) {")]),
    ("the next chromosome's first x found in the one before", "plot/painters.h",
     [("suffixMin_.data()[k + 1] > x;", "suffixMin_.data()[k + 1] >= x;")]),
    ("the title's number with 5 digits", "plot/painters.cpp", [("return QString::number(value, 'g', 6);", "return QString::number(value, 'g', 5);")]),
    ("highlight range exclusive at its end", "plot/painters.h", [("return lo <= p && p <= hi;", "return lo <= p && p < hi;")]),
    ("dots clipped one pixel short", "plot/dots.cpp",
     [("std::min<qint64>(qint64(left) + size_, width_)", "std::min<qint64>(qint64(left) + size_ - 1, width_)")]),
    ("dots a pixel to the right", "plot/dots.h",
     [("left = x - half_, top = y - half_;", "left = x - half_ + 1, top = y - half_;"),
      ("const int left = x - 1, top = y - 1;", "const int left = x, top = y - 1;")]),

    # --- select/: the box ------------------------------------------------------
    ("box clamped to width - 1", "select/selection.cpp", [("b.x2 = std::min(b.x2, width);", "b.x2 = std::min(b.x2, width - 1);")]),
    ("box clamped to 1 at the top left", "select/selection.cpp", [("*v = std::max(*v, 0);", "*v = std::max(*v, 1);")]),
    ("box's y corners not put in order", "select/selection.cpp", [("    if (b.y1 > b.y2)\n        std::swap(b.y1, b.y2);\n", "")]),
    ("box's x corners not put in order", "select/selection.cpp", [("    if (b.x1 > b.x2)\n        std::swap(b.x1, b.x2);\n", "")]),
    ("pick centre rounds up", "select/selection.cpp",
     [("pick.point = int((qint64(x1) + x2) / 2);", "pick.point = int((qint64(x1) + x2 + 1) / 2);")]),
    ("pick's end bound exclusive", "select/selection.cpp", [("pick.position <= endValue[i]", "pick.position < endValue[i]")]),
    ("pick's start bound exclusive", "select/selection.cpp", [("startValue[i] <= pick.position", "startValue[i] < pick.position")]),
    ("pick: last match wins", "select/selection.cpp", [("            pick.index = int(i);\n            break;", "            pick.index = int(i);")]),
    ("zoom's value range not ordered", "select/selection.cpp",
     [("a.hiValue = valA > valB ? valA : valB;", "a.hiValue = valA > valB ? valB : valA;")]),
    ("zoom's position range from one edge", "select/selection.cpp", [("a.hi = std::max(posA, posB);", "a.hi = posA;")]),
    ("area's low value exclusive", "select/selection.h", [("loValue <= value", "loValue < value")]),
    ("area's high position exclusive", "select/selection.h", [("position <= hi", "position < hi")]),

    # --- export/: saving --------------------------------------------------------
    (".txt added unless the name ends in it", "export/savefiles.cpp",
     [('answer.contains(QLatin1String(".txt"))', 'answer.endsWith(QLatin1String(".txt"))')]),
    ("saved numbers with 7 digits", "export/savefiles.cpp",
     [("std::chars_format::general, 6)", "std::chars_format::general, 7)")]),
    ("negative zero written -0", "export/savefiles.cpp", [("    if (value == 0) {\n        *out = '0';", "    if (false) {\n        *out = '0';")]),
    ("a p-value's mantissa of 10 kept", "export/savefiles.cpp",
     [('if (std::string_view(mantissa, size_t(end - mantissa)) == "10") {', "if (false) {")]),
    ("no direct write where the folder forbids a temporary file", "export/savefiles.cpp",
     [("    QFile direct(path);\n", "    return false;\n    QFile direct(path);\n")]),
    ("the picture's name keeps the data file's suffix", "export/savefiles.cpp",
     [("(dot < 0 ? name : name.left(dot))", "name")]),
    ("a picture that would be the data file not told", "export/savefiles.cpp",
     [("return image == dataFile ? dataFile + QLatin1String(\".png\") : image;", "return image;")]),
    ("a failed write reported as success", "export/savefiles.cpp",
     [("        return writeRows(file, label, positions, values) && file.commit();",
       "    {\n        writeRows(file, label, positions, values);\n        file.commit();\n        return true;\n    }")]),
    ("the direct write appends to the old file", "export/savefiles.cpp",
     [("QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text", "QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text")]),
    ("a failed direct write reported as success", "export/savefiles.cpp",
     [("return written && direct.error() == QFileDevice::NoError;", "return written;")]),
    ("the label of a saved row written in Latin-1", "export/savefiles.cpp", [("label.toUtf8(); // the locale's encoding", "label.toLatin1();")]),

    # --- data/reader, columns, fields, vcf: reading rules of real files ---
    ("reading: an empty p-value is not missing", "data/reader.cpp",
     [("return size == 0 || (size == 1", "return (size == 1")]),
    ("reading: a negative -log10 p accepted", "data/reader.cpp",
     [("if (!std::isfinite(*value) || *value < 0)\n        return bad(Fault::InvalidPValue);\n    return {*value, Score::Value};",
       "if (!std::isfinite(*value))\n        return bad(Fault::InvalidPValue);\n    return {*value, Score::Value};")]),
    ("reading: -log10 p never stands in for p = 0", "data/reader.cpp",
     [("if (log10.kind == Score::Value)", "if (false)")]),
    ("reading: the TEST field required in each row", "data/reader.cpp",
     [("layout.testColumn != 0 && f.count >= layout.testColumn &&", "layout.testColumn != 0 &&")]),
    ("reading: a field named as a chromosome ignored", "data/columns.cpp",
     [("    if (named != 0)\n        l.chrColumn = named;\n", "")]),
    ("reading: neglog not read as -log10", "data/columns.cpp",
     [('|| s.contains(QLatin1String("neglog"))', '')]),
    ("reading: natural-log p-values read", "data/columns.cpp",
     [("        return Fault::NaturalLogPValue;\n    l.pIsLog10", "        return Fault::None;\n    l.pIsLog10")]),
    ("reading: a trailing delimiter taken for a row name", "data/reader.cpp",
     [("fields.size() == r.names.size() + 1 && !fields.last().isEmpty()", "fields.size() == r.names.size() + 1")]),
    ("reading: ADD not preferred", "data/reader.cpp", [('if (tests.contains("ADD"))', "if (false)")]),
    ("reading: subnormal p-values scored from the double", "data/reader.cpp", [("if (*value < DBL_MIN)", "if (false)")]),
    ("reading: variants joined by '_' not split", "data/reader.cpp",
     [("const qsizetype end = colon >= 0 ? colon : variant.indexOf('_');", "const qsizetype end = colon;")]),
    ("reading: unsorted files not told", "data/loads.cpp", [("        if (seen.contains(tags[k]))\n            return k;", "")]),
    ("reading: a missing LP read as a value", "data/vcf.cpp",
     [("lp->n > 0 && !bcf_float_is_missing(value)\n        && !bcf_float_is_vector_end(value)) {", "lp->n > 0) {")]),
    ("reading: VCF positions 0-based", "data/vcf.cpp", [("qint64(record_->pos) + 1", "qint64(record_->pos)")]),
    ("reading: delimiters inside quotes split", "data/fields.h",
     [("if (*quote == '\"' && (quote + 1 == end_ || endsField(quote[1]))) {", "if (false) {")]),
    ("reading: the 16-byte scan takes delimiters past the line's end", "data/fields.h",
     [("return left >= 16 ? mask : mask & ((1u << left) - 1);", "return mask;")]),
    ("reading: a block of delimiters skipped counted one short", "data/fields.h",
     [("skipped += count;", "skipped += count - 1;")]),
    ("reading: leading blanks of an aligned line make a field", "data/fields.h",
     [("        if (blankRuns) {\n            while (field_ != end_ && isBlank(*field_))\n                ++field_;\n        }\n", "")]),
    ("reading: a run of blanks in an aligned line makes empty fields", "data/fields.h",
     [("            while (field_ != end_ && isBlank(*field_))\n                ++field_;\n            atEnd_ = field_ == end_;",
       "            atEnd_ = field_ == end_;")]),
    ("reading: a VCF record of an undeclared contig refused", "data/vcf.cpp",
     [("~(BCF_ERR_CTG_UNDEF | BCF_ERR_TAG_UNDEF)", "~BCF_ERR_TAG_UNDEF")]),
    ("reading: a bgzip VCF cut at a block's end read", "data/vcf.cpp",
     [("if (format->compression == bgzf && bgzf_check_EOF(file_->fp.bgzf) != 1) {", "if (false) {")]),
    ("reading: a VCF block that cannot be decompressed taken for the end", "data/vcf.cpp",
     [("if (status == -1 && !(file_->is_bgzf && file_->fp.bgzf->errcode != 0))", "if (status == -1)")]),
]


def ctest_env():
    return {**os.environ, "QT_QPA_PLATFORM": "offscreen"}


def run(command, cwd=ROOT):
    return subprocess.run(command, cwd=cwd, capture_output=True, text=True)


def failed_tests(output):
    """The names of the tests that CTest lists as failed."""
    section = output.split("The following tests FAILED:", 1)
    if len(section) < 2:
        return []
    return sorted(set(re.findall(r"^\s*\d+ - (\S+)", section[1], re.M)))


def plan(file, pairs):
    path = ROOT / file
    if not path.is_file():
        return None
    text = path.read_text()
    return path if all(text.count(original) == 1 for original, _ in pairs) else None


def stop(signum, frame):
    raise KeyboardInterrupt  # so that the source is put back


def main():
    signal.signal(signal.SIGTERM, stop)
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--only", default="", help="run the changes whose name contains this text")
    parser.add_argument("--list", action="store_true", help="list the changes and whether they apply")
    parser.add_argument("--resume", action="store_true", help="skip the changes already in the results file")
    parser.add_argument("--jobs", default="2")
    args = parser.parse_args()
    build = ROOT / args.build_dir
    chosen = [m for m in MUTATIONS if args.only in m[0]]

    if args.list:
        for name, file, pairs in chosen:
            print(f"{name}: {file if plan(file, pairs) else 'NOT FOUND in ' + file}")
        print(f"{len(chosen)} changes")
        return 0

    done = {}
    if args.resume and RESULTS.exists():
        for line in RESULTS.read_text().splitlines():
            name, outcome, *killers = line.split("\t")
            done[name] = outcome
    else:
        RESULTS.write_text("")
    if run(["cmake", "--build", str(build), "-j", args.jobs]).returncode != 0:
        sys.exit("the untouched source does not build")
    if failed_tests(run(["ctest", "-j", args.jobs], cwd=build).stdout):
        sys.exit("the tests fail on the untouched source")

    for name, file, pairs in chosen:
        if name in done:
            continue
        path = plan(file, pairs)
        started = time.time()
        killers = []
        if path is None:
            outcome = "not found"
        else:
            saved = path.read_bytes()
            try:
                text = saved.decode()
                for original, replacement in pairs:
                    text = text.replace(original, replacement, 1)
                path.write_text(text)
                if run(["cmake", "--build", str(build), "-j", args.jobs]).returncode != 0:
                    outcome = "did not build"
                else:
                    tested = subprocess.run(["ctest", "-j", args.jobs, "--timeout", "300"], cwd=build,
                                            env=ctest_env(), capture_output=True, text=True)
                    killers = failed_tests(tested.stdout)
                    outcome = "killed" if killers else "SURVIVED"
            finally:
                path.write_bytes(saved)
        with RESULTS.open("a") as results:
            results.write("\t".join([name, outcome] + killers) + "\n")
        print(f"[{outcome}] {name} ({time.time() - started:.0f} s) {' '.join(killers)}", flush=True)

    run(["cmake", "--build", str(build), "-j", args.jobs])  # the build back in step with the source
    outcomes = [line.split("\t") for line in RESULTS.read_text().splitlines()]
    survivors = [o[0] for o in outcomes if o[1] == "SURVIVED"]
    print(f"\n{len(outcomes)} changes, {len(survivors)} survived:")
    for name in survivors:
        print("  " + name)
    for o in outcomes:
        if o[1] in ("not found", "did not build"):
            print(f"  ({o[1]}) {o[0]}")
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
