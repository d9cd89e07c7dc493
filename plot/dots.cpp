#include "dots.h"

#include <algorithm>

DotWriter::DotWriter(QImage &image, int penWidth)
    : bits_(image.bits()), stride_(image.bytesPerLine()), width_(image.width()), height_(image.height()),
      size_(penWidth), half_(penWidth / 2)
{
}

void DotWriter::clippedDot(int left, int top, QRgb color)
{
    // Computed in 64 bits: far-off points lie near the int limits.
    const qint64 x0 = std::max<qint64>(left, 0), x1 = std::min<qint64>(qint64(left) + size_, width_);
    const qint64 y0 = std::max<qint64>(top, 0), y1 = std::min<qint64>(qint64(top) + size_, height_);
    for (qint64 y = y0; y < y1; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(bits_ + y * stride_);
        std::fill(row + x0, row + std::max(x0, x1), color);
    }
}

ColumnDots::ColumnDots(const QImage &image, int rows)
    : width_(image.width()), height_(rows), marks_(size_t(width_) * size_t(height_))
{
}

quint8 ColumnDots::colorIndex(QRgb color)
{
    const auto known = std::find(colors_.begin() + 1, colors_.end(), color);
    if (known != colors_.end())
        return quint8(known - colors_.begin());
    if (colors_.size() == 256)
        return 0;
    colors_.push_back(color);
    return quint8(colors_.size() - 1);
}

void ColumnDots::Pen::clippedDot(int left, int top, quint8 color) const
{
    // Computed in 64 bits: far-off points lie near the int limits.
    const qint64 x0 = std::max<qint64>(left, 0), x1 = std::min<qint64>(qint64(left) + 2, width);
    const qint64 y0 = std::max<qint64>(top, 0), y1 = std::min<qint64>(qint64(top) + 2, height);
    for (qint64 x = x0; x < x1; ++x)
        for (qint64 y = y0; y < y1; ++y)
            marks[x * height + y] = color;
}

void ColumnDots::toImage(QImage &image) const
{
    for (int y = 0; y < height_; ++y) {
        QRgb *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width_; ++x) {
            if (const quint8 mark = marks_[size_t(x) * size_t(height_) + size_t(y)])
                row[x] = colors_[mark];
        }
    }
}
