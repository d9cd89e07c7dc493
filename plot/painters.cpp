#include "painters.h"

#include "dots.h"

#include "data/vectorstate.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>

namespace {

const QColor kHighlight(255, 50, 50);
const QColor kNormal(50, 50, 255);

QFont calibri(int pointSize)
{
    return QFont(QStringLiteral("Calibri"), pointSize, QFont::Normal, false);
}

// Consecutive segments of one colour drawn in one call: the same pixels as
// one call per segment, since they are opaque and keep their order.
class LineBatch
{
public:
    LineBatch(QPainter &painter, QPen &pen) : painter_(painter), pen_(pen) {}
    ~LineBatch() { flush(); }

    void add(const QColor &color, const QLine &line)
    {
        if (marks_.isEmpty() || color != pen_.color()) {
            flush();
            pen_.setColor(color);
            painter_.setPen(pen_);
        }
        marks_.append(line);
    }

    void flush()
    {
        if (marks_.isEmpty())
            return;
        painter_.drawLines(marks_.constData(), int(marks_.size()));
        marks_.resize(0); // keeps the capacity
    }

private:
    QPainter &painter_;
    QPen &pen_;
    QVector<QLine> marks_;
};

// White pixmap, pen width 2, and the threshold lines when asked for.
void paintBackground(QPainter &painter, QPen &pen, const PlotFrame &frame)
{
    pen = painter.pen();
    pen.setWidth(2);
    painter.setPen(pen);
    if (!frame.stripes)
        return;
    struct Level {
        double value;
        QColor color;
        const char *label;
    };
    static const Level levels[] = {
        {7.3, QColor(25, 180, 25), "7.3"}, {6, QColor(140, 140, 140), "6"}, {5, QColor(170, 170, 170), "5"},
        {4, QColor(200, 200, 200), "4"},   {3, QColor(230, 230, 230), "3"},
    };
    for (const Level &level : levels) {
        pen.setColor(level.color);
        painter.setPen(pen);
        const int y = frame.map.y(level.value);
        const QLine rule(0, y, frame.width, y);
        painter.drawLines(&rule, 1);
        painter.drawText(QRect(QPoint(0, 0), QPoint(frame.width - 1, y - 1)), Qt::AlignLeft | Qt::AlignBottom,
                         QString::fromLatin1(level.label));
    }
}

void paintTitle(QPainter &painter, QPen &pen, const PlotFrame &frame, const QString &text)
{
    pen.setColor(Qt::black);
    painter.setPen(pen);
    painter.setFont(calibri(12));
    painter.drawText(QRect(QPoint(0, 0), QPoint(frame.width - 1, 19)), Qt::AlignCenter, text);
}

// A label under the chromosome whose points span columns first..last.
// A rectangle of zero width draws nothing, so that draw is skipped; one of
// negative width (unsorted positions) still draws and is kept.
void paintChromosomeLabel(QPainter &painter, const PlotFrame &frame, int first, int last, const QString &label)
{
    if (last == first)
        return;
    painter.drawText(QRect(QPoint(first, 0), QPoint(last - 1, frame.height - 1)),
                     Qt::AlignHCenter | Qt::AlignVCenter | Qt::AlignBottom, label);
}

// Whether a chromosome label stays in the picture's bottom lines: not one
// whose glyphs may stack or break into lines (combining marks, line
// breaks, controls).
bool staysLow(const QString &label)
{
    for (const QChar c : label) {
        const QChar::Category category = c.category();
        if (c.isMark() || category == QChar::Separator_Line || category == QChar::Separator_Paragraph
            || category == QChar::Other_Control || category == QChar::Other_Format)
            return false;
    }
    return true;
}

// The white picture both plots start from. Painted as an RGB32 image, the
// format of an opaque pixmap, so dots can be written into its pixels.
QImage whiteImage(const PlotFrame &frame)
{
    QImage image(std::max(frame.width, 0), std::max(frame.height, 0), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

// A plot being painted: the white picture with its painter, the pen of
// width 2, the threshold lines when asked for, and dots of the given size
// written straight into the pixels.
struct Canvas {
    Canvas(const PlotFrame &frame, int dotSize) : image(whiteImage(frame)), dots(image, dotSize)
    {
        if (image.isNull())
            return;
        painter.begin(&image);
        paintBackground(painter, pen, frame);
    }

    QPixmap finish()
    {
        painter.end();
        return QPixmap::fromImage(std::move(image));
    }

    QImage image;
    DotWriter dots;
    QPainter painter;
    QPen pen;
};

} // namespace

PlotFrame plotFrame(const Geometry &g, bool stripes)
{
    PlotFrame f;
    f.width = g.fwidth;
    f.height = g.fheight;
    f.map = pixelMap(g);
    f.realMaxY = g.realMaxY;
    f.stripes = stripes;
    return f;
}

ChromosomeFinder::ChromosomeFinder(const QVector<int> &startValue) : suffixMin_(startValue)
{
    for (qsizetype k = suffixMin_.size() - 2; k >= 1; --k)
        suffixMin_[k] = std::min(suffixMin_[k], suffixMin_[k + 1]);
}

int ChromosomeFinder::search(int x)
{
    if (suffixMin_.size() <= 1)
        return last_ = 0;
    if (last_ + 1 < suffixMin_.size() && fits(last_ + 1, x))
        return ++last_;
    // The suffix minima ascend: the answer is the last k >= 1 with minimum <= x.
    const auto it = std::upper_bound(suffixMin_.cbegin() + 1, suffixMin_.cend(), x);
    last_ = int(it - suffixMin_.cbegin()) - 1;
    return last_;
}

QPixmap paintGenomeWide(const QList<int> &positions, const QList<double> &values, int count,
                        const PlotFrame &frame, const ChromosomeLabels &chromosomes, const QString &shortName)
{
    Canvas canvas(frame, 2);
    if (canvas.image.isNull())
        return QPixmap();
    // References, not a structured binding: the lambdas below use them.
    QImage &image = canvas.image;
    DotWriter &dots = canvas.dots;
    QPainter &painter = canvas.painter;
    QPen &pen = canvas.pen;

    ChromosomeFinder finder(chromosomes.startValue);
    int red = 255, lastX = 0, spanStart = 0;
    int penRed = -1; // the red of the pen last set for a point
    static const QString none;
    const QString *current = &none;
    const QString *previous = chromosomes.tags.isEmpty() ? &none : &chromosomes.tags[0];
    painter.setFont(calibri(10));
    // Above the bottom lines, where the labels go, the dots go into the
    // picture's pixels held column after column; in those lines, straight
    // into the picture, where the painter draws a label between them. A
    // label that may reach higher sends every dot to the picture from then on.
    int columnRows = std::max(frame.height - 3 * QFontMetrics(painter.font()).height(), 0);
    ColumnDots columns(image, columnRows);
    ColumnDots::Pen above = columns.pen();
    quint8 aboveColor = 0;
    const auto dotsToPicture = [&]() {
        if (columnRows > 0)
            columns.toImage(image);
        columnRows = 0;
        above.height = 0;
    };
    const auto paintLabel = [&](int first, int last, const QString &label) {
        if (last != first && !staysLow(label))
            dotsToPicture();
        paintChromosomeLabel(painter, frame, first, last, label);
        clearUpperVectorState();
    };
    // Locals, pointers too: no store can change them, for all the compiler
    // knows (a byte store could change anything it does not see the whole of).
    const PixelMap map = frame.map;
    const int *const position = positions.constData();
    const double *const value = values.constData();
    const int *const colorValue = chromosomes.colorValue.constData();
    const QString *const tags = chromosomes.tags.constData();
    clearUpperVectorState(); // the painter's code may leave it dirty
    for (int i = 0; i < count; ++i) {
        const int x = map.x(position[i]);
        const int y = map.y(value[i]);
        if (i == 0)
            lastX = spanStart = x;
        const int k = finder.find(position[i]);
        if (k >= 1)
            red = colorValue[k];
        current = &tags[k];
        if (current != previous && *current != *previous) {
            // The previous chromosome is complete: its label, in the colour
            // of its last point.
            paintLabel(spanStart, lastX, *previous);
            spanStart = x;
        }
        previous = current;
        if (red != penRed) { // the pen only matters to the labels
            penRed = red;
            pen.setColor(QColor(red, 50, 50));
            painter.setPen(pen);
            if (columnRows > 0 && (aboveColor = columns.colorIndex(qRgb(red, 50, 50))) == 0)
                dotsToPicture(); // too many colours
            clearUpperVectorState();
        }
        const QRgb color = qRgb(red, 50, 50);
        // The dot covers rows y - 1 and y.
        if (y > columnRows)
            dots.dot(x, y, color);
        else if (y < columnRows)
            above.dot(x, y, aboveColor);
        else {
            above.dot(x, y, aboveColor);
            dots.dot(x, y, color);
        }
        lastX = x;
    }
    dotsToPicture();
    paintChromosomeLabel(painter, frame, spanStart, lastX, *current);
    paintTitle(painter, pen, frame, shortName + QStringLiteral(", max(-logP)=") + titleNumber(frame.realMaxY));
    return canvas.finish();
}

QPixmap paintChromosome(const QList<int> &positions, const QList<double> &values, int count,
                        const PlotFrame &frame, const ChromosomePlotOptions &options)
{
    Canvas canvas(frame, 4);
    if (canvas.image.isNull())
        return QPixmap();
    auto &[image, dots, painter, pen] = canvas;

    pen.setWidth(4);
    const HighlightRange &range = options.highlight;
    pen.setColor(kNormal);
    painter.setPen(pen);
    const auto colorAt = [&](int i) { return range.contains(positions[i]) ? kHighlight : kNormal; };
    const auto pointAt = [&](int i) { return QPoint(frame.map.x(positions[i]), frame.map.y(values[i])); };
    if (!options.segments) {
        for (int i = 0; i < count; ++i)
            dots.dot(frame.map.x(positions[i]), frame.map.y(values[i]), colorAt(i).rgb());
    } else {
        LineBatch batch(painter, pen);
        for (int i = 1; i < count; ++i)
            batch.add(colorAt(i), QLine(pointAt(i - 1), pointAt(i)));
    }

    paintTitle(painter, pen, frame, QStringLiteral("max=") + titleNumber(frame.realMaxY));
    painter.setFont(calibri(10));
    const QRect bottom(QPoint(0, 0), QPoint(frame.width - 1, frame.height - 3));
    const QString span = QStringLiteral("|<-- ")
        + groupThousands(int(qint64(options.realMaxX) - options.realMinX)) + QStringLiteral(" -->|");
    painter.drawText(bottom, Qt::AlignLeft | Qt::AlignBottom, groupThousands(options.realMinX));
    painter.drawText(bottom, Qt::AlignRight | Qt::AlignBottom, groupThousands(options.realMaxX));
    painter.drawText(bottom, Qt::AlignHCenter | Qt::AlignVCenter | Qt::AlignBottom, span);
    return canvas.finish();
}

HighlightRange highlightRange(const QString &text1, const QString &text2)
{
    const QStringList parts = text1.split(QLatin1Char('-'), Qt::KeepEmptyParts);
    const QString lo = parts.size() == 2 ? parts[0] : text1;
    const QString hi = parts.size() == 2 ? parts[1] : text2;
    bool okLo = false, okHi = false;
    HighlightRange range{lo.toInt(&okLo, 10), hi.toInt(&okHi, 10)};
    if (!okLo || !okHi)
        range = HighlightRange{};
    return range;
}

QString groupThousands(int n)
{
    const QString digits = QString::number(n, 10);
    QString result;
    int counted = 0;
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        result.prepend(digits[i]);
        if (++counted == 3 && i != 0) {
            result.prepend(QLatin1Char(','));
            counted = 0;
        }
    }
    return result;
}

QString titleNumber(double value)
{
    return QString::number(value, 'g', 6);
}
