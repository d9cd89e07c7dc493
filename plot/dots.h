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

// The first rows of a picture held column after column while many dots
// are written, with the pixels a pen of width 2 gives: the dots of a file's
// points fall in few columns at a time, so column after column they stay in
// the processor's cache, row after row they would not.
class ColumnDots
{
public:
    // Takes the image's first `rows` rows (RGB32).
    ColumnDots(const QImage &image, int rows);

    // What writes the dots: a value for the loop that writes them to keep in
    // its registers, which no pixel store can change. Parts of dots outside
    // the rows held are left out.
    struct Pen {
        QRgb *pixels;
        int width, height;

        void dot(int x, int y, QRgb color) const
        {
            const int left = x - 1, top = y - 1;
            if (left >= 0 && top >= 0 && left + 2 <= width && top + 2 <= height) {
                QRgb *p = pixels + qsizetype(left) * height + top;
                p[0] = p[1] = color;
                p[height] = p[height + 1] = color;
                return;
            }
            clippedDot(left, top, color);
        }
        void clippedDot(int left, int top, QRgb color) const;
    };
    Pen pen() { return {pixels_.data(), width_, height_}; }

    // Puts the rows back into the image.
    void toImage(QImage &image) const;

private:
    int width_, height_;
    std::vector<QRgb> pixels_; // column x, row y at x * height_ + y
};
