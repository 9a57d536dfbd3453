#include "codecs/wmf_dib.h"

#include "codecs/bitmap_decoder.h"

#include <QPainter>

namespace vorn::wmf
{

RopFill rop_fill(quint32 rop)
{
    switch (rop) {
    case 0x00F00021: // PATCOPY
        return RopFill::Brush;
    case 0x00000042: // BLACKNESS
        return RopFill::Black;
    case 0x00FF0062: // WHITENESS
        return RopFill::White;
    default:
        return RopFill::None;
    }
}

DibBlit read_dib_blit(quint16 fn, const Params &r)
{
    // A DIB record whose size is the bare parameter count carries no bitmap.
    const bool noBitmap = r.words() + 3 == (fn >> 8) + 3;
    const quint32 rop = r.u32(0);
    auto bits = [&](qsizetype word) { return decode_dib(r.p + word * 2, r.n - word * 2, -1, kMaxDibPixels); };
    // Rows of a bottom-up bitmap (positive height; the old core header always) count from the
    // bottom edge; QImage rows from the top.
    auto bottomUp = [&](qsizetype word) {
        const qsizetype at = word * 2;
        if (!r.has(at + 12))
            return true;
        return rd32(r.p + at) == 12 || qint32(rd32(r.p + at + 8)) > 0;
    };
    auto image = [&](qsizetype word, QRectF dest, qreal xs, qreal ys, qreal ws, qreal hs, quint32 op) {
        DibBlit b;
        b.kind = DibBlit::Image;
        b.image = bits(word);
        b.dest = dest;
        b.src = bottomUp(word) ? QRectF(xs, b.image.height() - ys - hs, ws, hs) : QRectF(xs, ys, ws, hs);
        b.rop = op;
        return b;
    };
    switch (fn) {
    case R_DIBBITBLT: {
        if (noBitmap) {
            if (r.words() < 9)
                return {};
            DibBlit b;
            b.kind = DibBlit::Fill;
            b.dest = QRectF(r.s(8), r.s(7), r.s(6), r.s(5)).normalized();
            b.rop = rop;
            b.fill = rop_fill(rop);
            return b;
        }
        if (r.words() < 8)
            return {};
        const qreal w = r.s(5), h = r.s(4);
        return image(8, QRectF(r.s(7), r.s(6), w, h), r.s(3), r.s(2), w, h, rop);
    }
    case R_DIBSTRETCHBLT:
        if (noBitmap || r.words() < 10)
            return {};
        return image(10, QRectF(r.s(9), r.s(8), r.s(7), r.s(6)), r.s(5), r.s(4), r.s(3), r.s(2), rop);
    case R_STRETCHDIB:
        if (r.words() < 11 || r.u(2) != 0) // palette-index colours are not supported
            return {};
        return image(11, QRectF(r.s(10), r.s(9), r.s(8), r.s(7)), r.s(6), r.s(5), r.s(4), r.s(3), rop);
    case R_SETDIBTODEV: {
        if (r.words() < 9 || r.u(0) != 0)
            return {};
        const qreal w = r.s(6), h = r.s(5);
        return image(9, QRectF(r.s(8), r.s(7), w, h), r.s(4), r.s(3), w, h, 0x00CC0020);
    }
    default:
        return {};
    }
}

void draw_dib(QPainter &painter, const DibBlit &blit)
{
    if (blit.kind != DibBlit::Image || blit.image.isNull())
        return;
    const QRectF src =
        blit.src.normalized().intersected(QRectF(0, 0, blit.image.width(), blit.image.height()));
    if (src.isEmpty())
        return;
    QImage part = blit.image.copy(src.toAlignedRect());
    const bool flipX = blit.dest.width() < 0, flipY = blit.dest.height() < 0;
    if (flipX || flipY)
        part = part.mirrored(flipX, flipY);
    painter.save();
    switch (blit.rop) {
    case 0x008800C6: // SRCAND
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        break;
    case 0x00EE0086: // SRCPAINT
        painter.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        break;
    case 0x00660046: // SRCINVERT
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        break;
    default: // SRCCOPY and the rest
        break;
    }
    painter.drawImage(blit.dest.normalized(), part);
    painter.restore();
}

QImage pattern_brush_image(const Params &r)
{
    return r.u(1) == 0 && r.n > 4 ? decode_dib(r.p + 4, r.n - 4, -1, kMaxDibPixels) : QImage();
}

} // namespace vorn::wmf
