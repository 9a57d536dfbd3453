// The bitmap records of a Windows metafile: reading the device-independent bitmap and the
// source and destination rectangles out of a record, and drawing it with its raster operation.
#pragma once

#include "codecs/wmf_records.h"

#include <QImage>
#include <QRectF>

class QPainter;

namespace vorn::wmf
{

// Bitmaps inside records are decoded at most this large.
constexpr qint64 kMaxDibPixels = qint64(1) << 26;

// The solid fills a raster operation without a source stands for.
enum class RopFill { None, Brush, Black, White };
RopFill rop_fill(quint32 rop);

// What one bitmap record asks to draw.
struct DibBlit {
    enum Kind { Nothing, Image, Fill } kind = Nothing;
    QImage image; // Image: the bitmap, top row first
    QRectF dest;  // logical coordinates; a negative width or height mirrors
    QRectF src;   // Image: the part of `image` to draw
    quint32 rop = 0;
    RopFill fill = RopFill::None; // Fill: what covers `dest`
};

// Reads a DIBBITBLT, DIBSTRETCHBLT, STRETCHDIB or SETDIBTODEV record.
DibBlit read_dib_blit(quint16 fn, const Params &r);
// Draws an Image blit with its raster operation (copy, and, or, xor).
void draw_dib(QPainter &painter, const DibBlit &blit);
// The bitmap of a DIBCREATEPATTERNBRUSH record; null when it carries none we can read.
QImage pattern_brush_image(const Params &r);

} // namespace vorn::wmf
