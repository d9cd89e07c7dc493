// Dots written straight into an image's pixels: the same pixels a QPainter
// point with a square pen of even width gives, without the painter's cost
// per point (measured: 10 million points in about a tenth of the time).
#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include <vector>

class DotWriter
{
public:
    // `image` must be of format RGB32 and outlive the writer. A pen of width
    // w covers the square from x - w/2 to x + w/2 - 1 (and likewise in y).
    DotWriter(QImage &image, int penWidth);

    void dot(int x, int y, QRgb color)
    {
        // Locals: a pixel store could otherwise change them, for all the
        // compiler knows, and they would be read again after each.
        const int size = size_, left = x - half_, top = y - half_;
        const qsizetype stride = stride_;
        if (left >= 0 && top >= 0 && left + size <= width_ && top + size <= height_) {
            // The usual case, wholly inside: no clipping per pixel.
            uchar *row = bits_ + qsizetype(top) * stride;
            if (size == 2) { // the genome-wide plot's dots, written out
                QRgb *p = reinterpret_cast<QRgb *>(row) + left, *q = reinterpret_cast<QRgb *>(row + stride) + left;
                p[0] = p[1] = q[0] = q[1] = color;
                return;
            }
            for (int dy = 0; dy < size; ++dy, row += stride) {
                QRgb *p = reinterpret_cast<QRgb *>(row) + left;
                for (int dx = 0; dx < size; ++dx)
                    p[dx] = color;
            }
            return;
        }
        clippedDot(left, top, color);
    }

private:
    void clippedDot(int left, int top, QRgb color);

    uchar *bits_;
    qsizetype stride_;
    int width_, height_;
    int size_, half_;
};

// The dots in a picture's first rows, held column after column while many
// are written, with the pixels a pen of width 2 gives: the dots of a file's
// points fall in few columns at a time, so column after column they stay in
// the processor's cache, row after row they would not. A byte a pixel, an
// index into the dots' colours (0: no dot), put into the picture at the end.
class ColumnDots
{
public:
    // For the image's first `rows` rows.
    ColumnDots(const QImage &image, int rows);

    // The index of a colour to write dots in; 0 once 255 colours are in use.
    quint8 colorIndex(QRgb color);

    // What writes the dots: a value for the loop that writes them to keep in
    // its registers, which no store can change. Parts of dots outside the
    // rows held are left out.
    struct Pen {
        quint8 *marks;
        int width, height;

        void dot(int x, int y, quint8 color) const
        {
            const int left = x - 1, top = y - 1;
            if (left >= 0 && top >= 0 && left + 2 <= width && top + 2 <= height) {
                quint8 *p = marks + qsizetype(left) * height + top;
                p[0] = p[1] = color;
                p[height] = p[height + 1] = color;
                return;
            }
            clippedDot(left, top, color);
        }
        void clippedDot(int left, int top, quint8 color) const;
    };
    Pen pen() { return {marks_.data(), width_, height_}; }

    // Puts the dots into the image.
    void toImage(QImage &image) const;

private:
    int width_, height_;
    std::vector<quint8> marks_; // column x, row y at x * height_ + y
    std::vector<QRgb> colors_ = std::vector<QRgb>(1); // by index, from 1
};
