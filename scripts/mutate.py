#!/usr/bin/env python3
"""Mutation check: does some test notice when the program's code is broken?

Applies each small change below to the source, one at a time, rebuilds
incrementally, runs the tests through CTest, puts the source back, and lists
the changes that no test noticed. Not part of CI: a full run takes a while.

    scripts/mutate.py [--build-dir build] [--only TEXT] [--list] [--jobs 2]

A change is (name, file, original, replacement). The original is matched as
code text; when the file moved or no longer holds it, every source file of
the program is searched for it, so the list survives files being moved.
The original must occur exactly once in the file that is changed. Several
alternatives may be given as a list of (original, replacement) pairs: the
first one found is applied (all pairs of a tuple are applied together).

Run it on a clean tree: the working copy is changed while it runs (and put
back afterwards, also on Ctrl-C).
"""
import argparse
import os
import pathlib
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCE_DIRS = ["app", "data", "plot", "select", "export", "src", "logic", "window"]

# (name, file, [(original, replacement), ...]) -- pairs are applied together.
MUTATIONS = [
    # --- Breakages that once passed every test --------------------------
    ("line edits swapped in the chromosome plot", "app/mywidget_views.cpp",
     [("lineEdit1->text(), lineEdit2->text()", "lineEdit2->text(), lineEdit1->text()")],
     [("options.lineEdit1 = lineEdit1->text();", "options.lineEdit1 = lineEdit2->text();"),
      ("options.lineEdit2 = lineEdit2->text();", "options.lineEdit2 = lineEdit1->text();")]),
    ("realMinX and realMaxX swapped in the bottom labels", "plot/painters.cpp",
     [("Qt::AlignLeft | Qt::AlignBottom, groupThousands(options.realMinX)",
       "Qt::AlignLeft | Qt::AlignBottom, groupThousands(options.realMaxX)"),
      ("Qt::AlignRight | Qt::AlignBottom, groupThousands(options.realMaxX)",
       "Qt::AlignRight | Qt::AlignBottom, groupThousands(options.realMinX)")]),
    ("dots/segments check box inverted", "app/mywidget_views.cpp",
     [("options.segments = line != 0;", "options.segments = line == 0;")]),
    ("last point of the chromosome plot not drawn", "plot/painters.cpp",
     [("for (int i = 0; i < count; ++i)\n            dots.dot(",
       "for (int i = 0; i < count - 1; ++i)\n            dots.dot(")]),
    ("last point of the genome-wide plot not drawn", "plot/painters.cpp",
     [("for (int i = 0; i < count; ++i) {\n        const int x = frame.map.x(positions[i]);",
       "for (int i = 0; i < count - 1; ++i) {\n        const int x = frame.map.x(positions[i]);")]),
    ("threshold lines drawn whatever the check box says", "plot/painters.cpp",
     [("    if (!frame.stripes)\n        return;\n", "")]),
    ("genome-wide title from filename instead of shortname", "app/mywidget_views.cpp",
     [("chromosomes, QString::fromUtf8(shortname)", "chromosomes, QString::fromUtf8(filename)")],
     [("chromosomeLabels(), QString::fromUtf8(shortname)", "chromosomeLabels(), QString::fromUtf8(filename)")]),
    ("checkBox1 no longer redraws", "app/mywidget_views.cpp",
     [("line = flagOf(checkBox1, line);\n    reloadPhoto();", "line = flagOf(checkBox1, line);")]),
    ("checkBox2 no longer redraws", "app/mywidget_views.cpp",
     [("stripes = flagOf(checkBox2, stripes);\n    reloadPhoto();", "stripes = flagOf(checkBox2, stripes);")]),
    ("Remove treats maxX as exclusive", "app/mywidget_select.cpp",
     [("Area shown{minX, maxX, minY, maxY}", "Area shown{minX, maxX - 1, minY, maxY}")]),
    ("Remove treats minY as exclusive", "app/mywidget_select.cpp",
     [("Area shown{minX, maxX, minY, maxY}", "Area shown{minX, maxX, std::nextafter(minY, 1e300), maxY}")]),
    ("rubber band not hidden after a pick", "app/mywidget_select.cpp",
     [("        pixPerY = oldPixPerY;\n    }\n    rubberBand->hide();", "        pixPerY = oldPixPerY;\n    }")],
     [("        setShownGeometry(oldGeometry);\n    }\n    rubberBand->hide();", "        setShownGeometry(oldGeometry);\n    }")]),
    ("rubber band not hidden after a zoom", "app/mywidget_select.cpp",
     [("    reloadPhoto();\n    rubberBand->hide();\n}\n\nvoid MyWidget::removeSelection",
       "    reloadPhoto();\n}\n\nvoid MyWidget::removeSelection")]),
    ("defaultname remembers the name with .txt added", "app/mywidget_save.cpp",
     [("QFile::encodeName(filePath), 50)", "QFile::encodeName(dataFileName(filePath)), 50)")]),
    ("chromosome save writes the genome-wide picture", "app/mywidget_save.cpp",
     [("localPixmap.save(image)", "globalPixmap.save(image)")]),
    ("genome-wide load accepts fewer than two rows", "data/loads.cpp",
     [("if (g.scores.size() < 2) {", "if (g.scores.size() < 1) {")]),
    ("empty line inside a run not skipped in the chromosome load", "data/loads.cpp",
     [("        if (line.isEmpty())\n            continue;\n        const Row row = convertRow(line, layout.layout);\n"
       "        if (row.kind == Row::Bad && row.fault",
       "        const Row row = convertRow(line, layout.layout);\n        if (row.kind == Row::Bad && row.fault")]),
    ("first run opened only for a non-empty label", "data/loads.cpp",
     [("if (label && (!opened || *label != t.tags.constLast()))",
       "if (label && ((!opened && !row.label.isEmpty()) || (opened && *label != t.tags.constLast())))")]),
    ("open-file dialog caption changed", "app/mywidget.cpp",
     [('"Welcome to  TIVREL !  Select File"', '"Welcome to TIVREL ! Select File"')]),
    ("open-file dialog filter changed", "app/mywidget.cpp",
     [('tr("Image Files (*.txt *.csv)', 'tr("Image Files (*.txt)')]),
    ("fileList kept from the previous directory", "app/mywidget.cpp",
     [("    fileList.clear();\n", ""), ("fileList = listDataFiles(", "fileList += listDataFiles(")]),
    ("main sets another title", "app/main.cpp",
     [("(contact@tivrel.org)", "(contact@tivrel.com)")]),
    ("main places the window elsewhere", "app/main.cpp",
     [("move(5, 5)", "move(0, 0)")]),
    ("main's exit status lost", "app/main.cpp",
     [("return app.exec();", "app.exec();\n    return 3;")]),
    ("a log file that cannot be opened is ignored", "app/mywidget.cpp",
     [("if (!startLog())\n        std::exit(1);", "startLog();")]),
    ("separators raised instead of sunken", "app/mywidget.cpp",
     [("QFrame::HLine | QFrame::Sunken", "QFrame::HLine | QFrame::Raised")]),
    ("mouse positions rounded", "app/mywidget_select.cpp",
     [("QPoint(int(event->position().x()), int(event->position().y()))", "event->position().toPoint()")],
     [("return QPoint(int(p.x()), int(p.y()));", "return p.toPoint();")]),

    # --- Our own: comparisons, bounds, swapped arguments, dropped calls --
    ("box clamped to width - 1", "select/selection.cpp",
     [("b.x2 = std::min(b.x2, width);", "b.x2 = std::min(b.x2, width - 1);")]),
    ("box's y corners not put in order", "select/selection.cpp",
     [("    if (b.y1 > b.y2)\n        std::swap(b.y1, b.y2);\n", "")]),
    ("pick centre rounds up", "select/selection.cpp",
     [("pick.point = int((qint64(x1) + x2) / 2);", "pick.point = int((qint64(x1) + x2 + 1) / 2);")]),
    ("pick's end bound exclusive", "select/selection.cpp",
     [("pick.position <= endValue[i]", "pick.position < endValue[i]")]),
    ("pick: last match wins", "select/selection.cpp",
     [("            pick.index = int(i);\n            break;", "            pick.index = int(i);")]),
    ("zoom's value range not ordered", "select/selection.cpp",
     [("a.hiValue = valA > valB ? valA : valB;", "a.hiValue = valA > valB ? valB : valA;")]),
    ("area's low value exclusive", "select/selection.h",
     [("loValue <= value", "loValue < value")]),
    ("column back to position off by one", "plot/geometry.cpp",
     [("return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + minX;",
       "return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + minX + 1;")],
     [("return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + originX;",
       "return qint64(std::clamp(std::isnan(units) ? 0 : units, -limit, limit)) + originX + 1;")]),
    ("position pad 6 %", "plot/geometry.cpp",
     [("g.realMinX) * 0.05)", "g.realMinX) * 0.06)")]),
    ("value pad 4 %", "plot/geometry.cpp",
     [("(high - low) * 0.05", "(high - low) * 0.04")]),
    ("picture 70 % high", "plot/geometry.cpp",
     [("0.75 * screen.height()", "0.7 * screen.height()")]),
    ("title shows the smallest value", "plot/geometry.cpp",
     [("g.realMaxY = high;", "g.realMaxY = low;")]),
    ("genome-wide copies taken again", "app/mywidget_views.cpp",
     [("globaldisplay == 1 && globaltimes == 1", "globaldisplay == 1 && globaltimes >= 1")]),
    ("Global allowed with one chromosome", "app/mywidget_views.cpp",
     [("if (Tag.size() < 2)", "if (Tag.size() < 1)")]),
    ("Global leaves the view flag", "app/mywidget_views.cpp",
     [("    imageLabel->setPixmap(globalPixmap);\n    globaldisplay = 1;\n", "    imageLabel->setPixmap(globalPixmap);\n")]),
    ("chromosome view keeps the hint", "app/mywidget_views.cpp",
     [("    hintLabel->setText(QString());\n", "")]),
    ("file name label not set by the chromosome redraw", "app/mywidget_views.cpp",
     [("    imageLabel->setPixmap(localPixmap);\n    fileNameLabel->setText(QString::fromUtf8(shortname));",
       "    imageLabel->setPixmap(localPixmap);")]),
    ("checked box clears its flag", "app/mywidget_views.cpp",
     [("    case Qt::Checked:\n        return 1;", "    case Qt::Checked:\n        return 0;")]),
    ("removal keeps the old remaining points", "app/mywidget_select.cpp",
     [("    Pos_list2 = Pos_list;\n    Value_list2 = Value_list;\n    getParameters();",
       "    getParameters();")],
     [("setLoadedPoints(std::move(rest.positions), std::move(rest.values));",
       "setShownPoints({std::move(rest.positions), std::move(rest.values)});")]),
    ("an empty name saves", "app/mywidget_save.cpp",
     [("if (!accepted || filePath.isEmpty())", "if (!accepted)")]),
    ("save and remove removes after a cancel", "app/mywidget_save.cpp",
     [("else if (makeFile())\n        removeSelection();", "else {\n        makeFile();\n        removeSelection();\n    }")]),
    (".txt added unless the name ends in it", "export/savefiles.cpp",
     [('answer.contains(QLatin1String(".txt"))', 'answer.endsWith(QLatin1String(".txt"))')]),
    ("saved numbers with 7 digits", "export/savefiles.cpp",
     [("std::chars_format::general, 6)", "std::chars_format::general, 7)")]),
    ("marks 3 pixels wide", "plot/painters.cpp",
     [("DotWriter dots(image, 4);", "DotWriter dots(image, 2);")],
     [("Canvas canvas(frame, 4);", "Canvas canvas(frame, 2);")]),
    ("chromosome title without max=", "plot/painters.cpp",
     [('QStringLiteral("max=")', 'QStringLiteral("max: ")')]),
    ("a point before the second start takes the first colour", "plot/painters.cpp",
     [("if (k >= 1)\n            red = chromosomes.colorValue[k];", "red = chromosomes.colorValue[k];")]),
    ("labels of negative width skipped", "plot/painters.cpp",
     [("if (last == first)\n        return;", "if (last <= first)\n        return;")]),
    ("highlight range with three parts taken", "plot/painters.cpp",
     [("parts.size() == 2 ? parts[0] : text1", "parts.size() >= 2 ? parts[0] : text1"),
      ("parts.size() == 2 ? parts[1] : text2", "parts.size() >= 2 ? parts[1] : text2")]),
    ("log header with one line feed", "app/log.h",
     [('"Tivrel 0.1 by Ruvetti\\n\\n"', '"Tivrel 0.1 by Ruvetti\\n"')]),
    ("next dialog starts in the working directory", "app/mywidget.cpp",
     [("        currentDir = QFileInfo(filePath).absoluteDir();\n", "")]),
    ("short name of 31 bytes", "app/mywidget.cpp",
     [("QFile::encodeName(chosen.fileName()), 30)", "QFile::encodeName(chosen.fileName()), 31)")]),
    ("rubber band not shown on press", "app/mywidget_select.cpp",
     [("    rubberBand->show();\n", "")]),

    # --- Reading rules --------------------------------------------------
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
]


def source_files():
    for d in SOURCE_DIRS:
        base = ROOT / d
        if base.is_dir():
            yield from sorted(p for p in base.rglob("*") if p.suffix in (".cpp", ".h"))


def locate(hint, original):
    """The file that holds `original` exactly once: the hint, else by search."""
    path = ROOT / hint
    if path.is_file() and path.read_text().count(original) == 1:
        return path
    found = [p for p in source_files() if p.read_text().count(original) == 1]
    return found[0] if len(found) == 1 else None


def plan(hint, alternatives):
    """The first alternative whose every original is found: [(path, original, replacement)]."""
    for pairs in alternatives:
        steps = []
        for original, replacement in pairs:
            path = locate(hint, original)
            if path is None:
                break
            steps.append((path, original, replacement))
        else:
            return steps
    return None


def run(command, **kw):
    return subprocess.run(command, cwd=kw.pop("cwd", ROOT), capture_output=True, text=True, **kw)


def stop(signum, frame):
    raise KeyboardInterrupt  # so that the source is put back


def main():
    signal.signal(signal.SIGTERM, stop)
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", default="build")
    parser.add_argument("--only", default="", help="run the changes whose name contains this text")
    parser.add_argument("--list", action="store_true", help="list the changes and whether they apply")
    parser.add_argument("--jobs", default="2")
    parser.add_argument("--slow", default="test_hostile|test_linereader",
                        help="tests run only once the others pass (a regular expression)")
    args = parser.parse_args()
    build = ROOT / args.build_dir

    if not args.list:
        if run(["cmake", "--build", str(build), "-j", args.jobs]).returncode != 0:
            sys.exit("the untouched source does not build")
        if run(["ctest", "-j", args.jobs], cwd=build, env={**os.environ, "QT_QPA_PLATFORM": "offscreen"}).returncode:
            sys.exit("the tests fail on the untouched source")

    results = []
    for name, hint, *alternatives in MUTATIONS:
        if args.only and args.only not in name:
            continue
        steps = plan(hint, alternatives)
        if args.list:
            where = ", ".join(sorted({str(p.relative_to(ROOT)) for p, _, _ in steps})) if steps else "NOT FOUND"
            print(f"{name}: {where}")
            continue
        if steps is None:
            results.append((name, "not found"))
            print(f"[not found] {name}", flush=True)
            continue
        saved = {p: p.read_bytes() for p, _, _ in steps}
        started = time.time()
        try:
            for path, original, replacement in steps:
                path.write_text(path.read_text().replace(original, replacement, 1))
            built = run(["cmake", "--build", str(build), "-j", args.jobs])
            if built.returncode != 0:
                outcome = "did not build"
            else:
                outcome = "SURVIVED"
                for stage in (["-E", args.slow], ["-R", args.slow]):
                    tested = run(["ctest", "-j", args.jobs, "--timeout", "300"] + stage, cwd=build,
                                 env={**os.environ, "QT_QPA_PLATFORM": "offscreen"})
                    if tested.returncode != 0:
                        failed = [line.split(" - ")[1].split(" ")[0] for line in tested.stdout.splitlines()
                                  if " - " in line and ("Failed" in line or "Timeout" in line or "Exception" in line)]
                        outcome = "killed by " + ", ".join(failed)
                        break
        finally:
            for path, data in saved.items():
                path.write_bytes(data)
        results.append((name, outcome))
        print(f"[{outcome}] {name} ({time.time() - started:.0f} s)", flush=True)

    if args.list:
        return 0
    # Put the build back in step with the untouched source.
    run(["cmake", "--build", str(build), "-j", args.jobs])
    survivors = [n for n, o in results if o == "SURVIVED"]
    print(f"\n{len(results)} changes, {len(survivors)} survived:")
    for n in survivors:
        print("  " + n)
    others = [(n, o) for n, o in results if o in ("not found", "did not build")]
    for n, o in others:
        print(f"  ({o}) {n}")
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
