// Windows bitmaps of every kind the viewer meets: BMP files, icons (.ico, with their AND masks
// and PNG entries) and the DIBs inside metafiles. Decoded here rather than by Qt's readers so
// that bit-field masks of any shape, short OS/2 palettes and hostile run-length data are handled
// by one careful decoder.
#pragma once

#include <QByteArray>
#include <QImage>

namespace vorn
{

// Decodes a BMP file ("BM", file header, DIB). Null when anything is malformed, the pixel data
// is incomplete or the picture has more than maxPixels pixels. *damaged (when given) tells
// whether the header held values Windows would not write (header size, plane count, palette
// size) that were read past.
QImage decode_bmp(const QByteArray &data, qint64 maxPixels, bool *damaged = nullptr);

enum class DibUse { Bitmap, Icon };

// Decodes a DIB (info header, masks, palette, pixels) of n bytes at p. bitsOffset is where the
// pixels start, counted from p, or -1 when they follow the palette directly. For an icon the
// header's height counts the colour rows and the AND-mask rows that follow them; the mask makes
// pixels transparent unless the colours carry their own alpha.
QImage decode_dib(const uchar *p, qsizetype n, qsizetype bitsOffset, qint64 maxPixels,
                  DibUse use = DibUse::Bitmap, bool *damaged = nullptr);

// Decodes the largest picture of an icon file (the deepest of equal sizes). Each entry is read
// by its own header (DIB or PNG); the directory's sizes, depths and lengths only locate it.
QImage decode_ico(const QByteArray &data, qint64 maxPixels);

} // namespace vorn
