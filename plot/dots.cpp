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
