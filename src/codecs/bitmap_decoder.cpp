#include "codecs/bitmap_decoder.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <vector>

namespace vorn
{

namespace
{

quint16 le16(const uchar *p)
{
    return quint16(p[0] | p[1] << 8);
}
quint32 le32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

enum : quint32 { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6 };

// One colour channel of a bit-field pixel: any mask, scaled to 8 bits.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint32 max = 0;
    explicit Channel(quint32 m = 0) : mask(m)
    {
        if (m) {
            shift = std::countr_zero(m);
            max = m >> shift;
        }
    }
    int value(quint32 pixel) const
    {
        const quint32 v = (pixel & mask) >> shift;
        if (max == 255)
            return int(v);
        return max ? int((quint64(v) * 255 + max / 2) / max) : 0;
    }
};

struct Dib {
    qint64 width = 0;
    qint64 height = 0; // colour rows only (an icon's mask rows not counted)
    bool topDown = false;
    int bits = 0;
    quint32 compression = BI_RGB;
    quint32 masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
    std::vector<QRgb> palette;
    qsizetype bitsAt = 0;
    // A header that Windows would not write (an unknown header size, a plane count other than
    // 1, more palette colours than the depth allows) that is read all the same.
    bool damaged = false;
    qint64 stride() const { return ((width * bits + 31) / 32) * 4; }
};

bool read_header(const uchar *p, qsizetype n, qsizetype bitsOffset, qint64 maxPixels, DibUse use, Dib *d)
{
    if (n < 12)
        return false;
    const quint32 hs = le32(p);
    quint32 colorsUsed = 0;
    qsizetype entry = 4;
    bool os2v2 = false;
    if (hs == 12) { // OS/2 1.x core header: 16-bit sizes, 3-byte palette entries
        d->width = le16(p + 4);
        d->height = le16(p + 6);
        d->bits = le16(p + 10);
        d->damaged = le16(p + 8) != 1;
        entry = 3;
    } else if (hs >= 16 && hs <= 124 && qsizetype(hs) <= n) {
        d->width = qint32(le32(p + 4));
        const qint32 h = qint32(le32(p + 8));
        if (h == std::numeric_limits<qint32>::min())
            return false;
        d->topDown = h < 0;
        d->height = std::abs(qint64(h));
        d->bits = le16(p + 14);
        d->compression = hs >= 20 ? le32(p + 16) : BI_RGB;
        colorsUsed = hs >= 36 ? le32(p + 32) : 0;
        os2v2 = hs != 40 && hs != 52 && hs != 56 && hs != 108 && hs != 124;
        // OS/2 2.x headers are 16 or 64 bytes long (or 40, the fields they share).
        d->damaged = le16(p + 12) != 1 || (os2v2 && hs != 16 && hs != 64);
    } else {
        return false;
    }
    if (use == DibUse::Icon)
        d->height /= 2;
    if (d->width <= 0 || d->height <= 0 || d->width * d->height > maxPixels)
        return false;
    const int b = d->bits;
    if (b != 1 && b != 2 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32)
        return false;
    switch (d->compression) {
    case BI_RGB:
        break;
    case BI_RLE8:
    case BI_RLE4:
        // Run-length data is written bottom-up, 8 or 4 bits per index; OS/2 uses the numbers
        // differently, and icons never hold it.
        if (b != (d->compression == BI_RLE8 ? 8 : 4) || d->topDown || use == DibUse::Icon)
            return false;
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if ((b != 16 && b != 32) || os2v2)
            return false;
        break;
    default: // JPEG or PNG inside a bitmap, OS/2 Huffman or RLE24
        return false;
    }

    qsizetype pos = hs;
    if (d->compression == BI_BITFIELDS || d->compression == BI_ALPHABITFIELDS) {
        const int count = d->compression == BI_ALPHABITFIELDS ? 4 : 3;
        // Version 2 and later headers hold the masks; the plain info header is followed by them.
        const qsizetype at = hs >= 52 ? 40 : hs;
        if (at + 4 * count > n)
            return false;
        for (int i = 0; i < count; ++i)
            d->masks[i] = le32(p + at + 4 * i);
        if (hs >= 56)
            d->masks[3] = le32(p + 52);
        if (hs < 52)
            pos += 4 * count;
    } else if (b == 16) {
        d->masks[0] = 0x7C00;
        d->masks[1] = 0x03E0;
        d->masks[2] = 0x001F;
    } else if (b >= 24) {
        d->masks[0] = 0xFF0000;
        d->masks[1] = 0x00FF00;
        d->masks[2] = 0x0000FF;
        // Icons keep their alpha in the fourth byte; plain 32-bit bitmaps leave it unused.
        if (b == 32 && use == DibUse::Icon)
            d->masks[3] = 0xFF000000;
    }

    if (b <= 8) {
        qint64 count = colorsUsed && colorsUsed < (1u << b) ? colorsUsed : (1u << b);
        if (colorsUsed > (1u << b))
            d->damaged = true;
        // A palette shorter than the depth allows (common in OS/2 files) ends where the pixels
        // begin.
        if (bitsOffset >= 0)
            count = std::min<qint64>(count, std::max<qint64>(0, (bitsOffset - pos) / entry));
        if (count < 1 || pos + count * entry > n)
            return false;
        d->palette.reserve(size_t(count));
        for (qint64 i = 0; i < count; ++i) {
            const uchar *e = p + pos + i * entry;
            d->palette.push_back(qRgb(e[2], e[1], e[0]));
        }
        pos += qsizetype(count * entry);
    }
    if (bitsOffset >= 0 && bitsOffset < pos)
        return false; // pixels inside the header or masks
    d->bitsAt = bitsOffset >= 0 ? bitsOffset : pos;
    return d->bitsAt <= n;
}

// Uncompressed rows; false when the data is short.
bool read_rows(const uchar *p, qsizetype n, const Dib &d, QImage *image)
{
    const qint64 stride = d.stride();
    if (d.bitsAt + stride * d.height > n)
        return false;
    const Channel red(d.masks[0]), green(d.masks[1]), blue(d.masks[2]), alpha(d.masks[3]);
    const qsizetype colours = qsizetype(d.palette.size());
    const int b = d.bits;
    const bool plain24 = d.masks[0] == 0xFF0000 && d.masks[1] == 0xFF00 && d.masks[2] == 0xFF;
    for (qint64 r = 0; r < d.height; ++r) {
        const uchar *src = p + d.bitsAt + r * stride;
        auto *out = reinterpret_cast<QRgb *>(image->scanLine(int(d.topDown ? r : d.height - 1 - r)));
        if (b <= 8) {
            const int perByte = 8 / b;
            const int indexMask = (1 << b) - 1;
            for (qint64 x = 0; x < d.width; ++x) {
                const int shift = 8 - b * int(x % perByte + 1);
                const int index = (src[x / perByte] >> shift) & indexMask;
                // An index past a short palette is black, as Windows draws it.
                out[x] = index < colours ? d.palette[size_t(index)] : qRgb(0, 0, 0);
            }
        } else if (plain24 && !alpha.mask) {
            const int step = b / 8;
            for (qint64 x = 0; x < d.width; ++x, src += step)
                out[x] = qRgb(src[2], src[1], src[0]);
        } else {
            for (qint64 x = 0; x < d.width; ++x) {
                const uchar *s = src + x * (b / 8);
                const quint32 v = b == 16   ? le16(s)
                                  : b == 24 ? quint32(s[0] | s[1] << 8 | s[2] << 16)
                                            : le32(s);
                out[x] =
                    qRgba(red.value(v), green.value(v), blue.value(v), alpha.mask ? alpha.value(v) : 255);
            }
        }
    }
    return true;
}

// Run-length rows (RLE8 or RLE4). Runs that leave the picture, indexes past the palette and
// data that ends before the picture does make the load fail; pixels the data skips over (with
// the delta and end-of-line codes) stay transparent.
bool read_runs(const uchar *p, qsizetype n, const Dib &d, QImage *image)
{
    // Each two-byte run yields at most 255 pixels: a declared size the data cannot fill is
    // refused before the picture is allocated.
    if (d.width * d.height > qint64(n - d.bitsAt) / 2 * 255)
        return false;
    image->fill(Qt::transparent);
    const bool four = d.compression == BI_RLE4;
    const qsizetype colours = qsizetype(d.palette.size());
    qint64 x = 0, y = 0, written = 0;
    qsizetype pos = d.bitsAt;
    auto put = [&](int index) {
        if (index >= colours)
            return false;
        reinterpret_cast<QRgb *>(image->scanLine(int(d.height - 1 - y)))[x++] = d.palette[size_t(index)];
        ++written;
        return true;
    };
    for (;;) {
        if (pos + 2 > n) {
            if (y < d.height)
                return false; // the data ends before the picture does
            break;            // every row came, only the end-of-bitmap code is missing
        }
        const int count = p[pos], value = p[pos + 1];
        pos += 2;
        if (count > 0) {
            if (y >= d.height || x + count > d.width)
                return false;
            for (int i = 0; i < count; ++i) {
                const int index = four ? (i % 2 ? value & 0x0F : value >> 4) : value;
                if (!put(index))
                    return false;
            }
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            if (++y > d.height)
                return false;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (pos + 2 > n)
                return false;
            x += p[pos];
            y += p[pos + 1];
            pos += 2;
            if (x > d.width || y > d.height)
                return false;
        } else { // absolute run of `value` indexes, padded to a word
            const qsizetype bytes = four ? (value + 1) / 2 : value;
            if (y >= d.height || x + value > d.width || pos + bytes > n)
                return false;
            for (int i = 0; i < value; ++i) {
                const int index = four ? (i % 2 ? p[pos + i / 2] & 0x0F : p[pos + i / 2] >> 4) : p[pos + i];
                if (!put(index))
                    return false;
            }
            pos += (bytes + 1) & ~qsizetype(1);
        }
    }
    if (written == d.width * d.height)
        image->convertTo(QImage::Format_RGB32);
    return true;
}

// The icon's AND mask (1 bit a pixel, rows padded to 32 bits, bottom-up) after the colour rows:
// a set bit makes the pixel transparent. Not used when the colours carry alpha.
bool apply_and_mask(const uchar *p, qsizetype n, const Dib &d, QImage *image)
{
    const qsizetype maskAt = d.bitsAt + d.stride() * d.height;
    const qint64 stride = ((d.width + 31) / 32) * 4;
    if (maskAt + stride * d.height > n)
        return false;
    for (qint64 r = 0; r < d.height; ++r) {
        const uchar *src = p + maskAt + r * stride;
        auto *out = reinterpret_cast<QRgb *>(image->scanLine(int(d.topDown ? r : d.height - 1 - r)));
        for (qint64 x = 0; x < d.width; ++x) {
            if (src[x / 8] & (0x80 >> (x % 8)))
                out[x] = 0;
        }
    }
    return true;
}

bool any_alpha(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]))
                return true;
        }
    }
    return false;
}

void make_opaque(QImage *image)
{
    for (int y = 0; y < image->height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < image->width(); ++x)
            row[x] |= 0xFF000000;
    }
    image->convertTo(QImage::Format_RGB32); // exact: every alpha is 255 now
}

QImage decode_png_entry(const QByteArray &data, qint64 maxPixels)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0 || qint64(size.width()) * size.height() > maxPixels)
        return QImage();
    QImage image;
    if (!reader.read(&image))
        return QImage();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

QImage decode_dib(const uchar *p, qsizetype n, qsizetype bitsOffset, qint64 maxPixels, DibUse use,
                  bool *damaged)
{
    Dib d;
    if (!read_header(p, n, bitsOffset, maxPixels, use, &d))
        return QImage();
    if (damaged)
        *damaged = d.damaged;
    const bool runs = d.compression == BI_RLE8 || d.compression == BI_RLE4;
    const bool alpha = d.masks[3] != 0;
    QImage image(int(d.width), int(d.height), runs || alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return QImage();
    if (runs)
        return read_runs(p, n, d, &image) ? image : QImage();
    if (!read_rows(p, n, d, &image))
        return QImage();
    if (alpha && !any_alpha(image)) {
        // An alpha channel that is zero everywhere was never filled in: the picture is opaque
        // (or, for an icon, shaped by its mask).
        make_opaque(&image);
    }
    if (use == DibUse::Icon && !image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_ARGB32);
        if (!apply_and_mask(p, n, d, &image))
            return QImage();
    }
    return image;
}

QImage decode_bmp(const QByteArray &data, qint64 maxPixels, bool *damaged)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype n = data.size();
    if (n < 14 + 12 || p[0] != 'B' || p[1] != 'M')
        return QImage();
    const quint32 offBits = le32(p + 10);
    // Some writers leave the offset 0: the pixels then follow the palette.
    const qsizetype bitsOffset = offBits == 0 ? -1 : qsizetype(offBits) - 14;
    if (offBits != 0 && (offBits < 14 || qsizetype(offBits) > n))
        return QImage();
    return decode_dib(p + 14, n - 14, bitsOffset, maxPixels, DibUse::Bitmap, damaged);
}

QImage decode_ico(const QByteArray &data, qint64 maxPixels)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype n = data.size();
    if (n < 6 || le16(p) != 0 || (le16(p + 2) != 1 && le16(p + 2) != 2))
        return QImage();
    const int count = le16(p + 4);
    if (count < 1 || 6 + 16 * qsizetype(count) > n)
        return QImage();
    QImage best;
    int bestDepth = 0;
    for (int i = 0; i < count; ++i) {
        const uchar *e = p + 6 + 16 * i;
        const quint32 offset = le32(e + 12);
        if (offset < 6 + 16 * quint32(count) || qsizetype(offset) >= n)
            continue;
        const uchar *img = p + offset;
        const qsizetype avail = n - offset;
        QImage candidate;
        int depth = 0;
        if (avail >= 8 && memcmp(img, "\x89PNG\r\n\x1A\n", 8) == 0) {
            candidate = decode_png_entry(data.mid(offset), maxPixels);
            depth = 32;
        } else {
            candidate = decode_dib(img, avail, -1, maxPixels, DibUse::Icon);
            depth = avail >= 16 ? le16(img + 14) : 0;
        }
        if (candidate.isNull())
            continue;
        const qint64 area = qint64(candidate.width()) * candidate.height();
        const qint64 bestArea = qint64(best.width()) * best.height();
        if (best.isNull() || area > bestArea || (area == bestArea && depth > bestDepth)) {
            best = candidate;
            bestDepth = depth;
        }
    }
    return best;
}

} // namespace vorn
