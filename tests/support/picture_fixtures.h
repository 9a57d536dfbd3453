// Pictures built in memory for the picture tests.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRect>

#include <functional>

namespace vorn::test
{

// The image in a file format Qt writes ("jpg", "bmp", "ico", ...).
QByteArray encode(const QImage &image, const char *format, int quality = 90);
// The JPEG with an APP1 Exif segment holding only the orientation tag.
QByteArray withOrientation(const QByteArray &jpeg, int orientation);
// An animated GIF of 2 x 2 frames, 100 ms each, alternating red and blue.
QByteArray gif(int frames);

// One image block of a GIF: its place, its colour indexes row by row (in display order), its
// graphic control (disposal, delay in 1/100 s, transparent index) and optional local colours.
struct GifImage {
    QRect rect;
    QByteArray indexes;
    int disposal = 0;
    int delayCs = 0;
    int transparent = -1;
    bool control = true; // write a graphic control extension
    bool interlaced = false;
    QList<QRgb> local{};
};
// A GIF89a file; loops < 0 writes no loop extension. The image data is LZW-compressed as
// encoders do, with a growing code table.
QByteArray gifFile(QSize screen, const QList<QRgb> &global, const QList<GifImage> &images, int loops = 0);

// A device-independent bitmap as Windows writes it: header of `headerSize` bytes (12 for the
// OS/2 core header, 40, 52, 56, 108 or 124, or an OS/2 2.x size such as 64), the masks (after a
// 40-byte header, or inside a larger one), the palette (3 bytes an entry for the core header,
// else 4) and the pixel bytes as given.
struct Dib {
    int headerSize = 40;
    int width = 0;
    int height = 0; // negative: top-down rows
    int bits = 24;
    quint32 compression = 0;
    QList<quint32> masks; // red, green, blue[, alpha]
    QList<QRgb> palette;
    QByteArray pixels;
    QByteArray bytes() const;
};
// The DIB in a BMP file, its pixels right after the palette.
QByteArray bmpFile(const Dib &dib);
// Uncompressed rows (bottom-up, each padded to 4 bytes) from pixel values of `bits` bits.
QByteArray dibRows(int width, int height, int bits, const std::function<quint32(int x, int y)> &value);

// An icon file; each entry's directory may state a wrong size, depth or length.
struct IconEntry {
    QByteArray image; // a DIB (height doubled, AND mask after the colours) or a PNG file
    int dirWidth = 0, dirHeight = 0, dirBits = 32;
    qint64 dirLength = -1; // -1: the true length
};
QByteArray icoFile(const QList<IconEntry> &entries);

} // namespace vorn::test
