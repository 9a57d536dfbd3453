#include "support/picture_fixtures.h"

#include <QBuffer>

namespace vorn::test
{

QByteArray encode(const QImage &image, const char *format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format, quality))
        qFatal("cannot encode %s", format);
    return bytes;
}

// A JPEG with an APP1 Exif segment holding only the orientation tag (big-endian TIFF).
QByteArray withOrientation(const QByteArray &jpeg, int orientation)
{
    QByteArray tiff("MM\0*\0\0\0\x08", 8);
    tiff += QByteArray("\0\x01", 2);                   // one entry
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8); // orientation, SHORT, count 1
    tiff += char(0) + QByteArray(1, char(orientation)) + QByteArray(2, 0);
    tiff += QByteArray(4, 0); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int len = int(payload.size()) + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment += char(len >> 8);
    segment += char(len & 0xFF);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// A GIF with `frames` frames of 2 x 2 pixels; each frame uses colour (i % 2). The LZW stream
// sends a clear code before every pixel, so the code width stays at 3 bits.
QByteArray gif(int frames)
{
    QByteArray b("GIF89a");
    auto u16 = [&](int v) {
        b += char(v & 0xFF);
        b += char(v >> 8);
    };
    u16(2);
    u16(2);
    b += char(0x80); // global colour table of 2 entries
    b += char(0);
    b += char(0);
    b += QByteArray("\xFF\0\0\0\0\xFF", 6); // red, blue
    b += QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19);
    for (int i = 0; i < frames; ++i) {
        b += QByteArray("\x21\xF9\x04\0\x0A\0\0\0", 8); // 100 ms
        b += char(0x2C);
        u16(0);
        u16(0);
        u16(2);
        u16(2);
        b += char(0);
        b += char(2); // LZW minimum code size
        quint32 acc = 0;
        int bits = 0;
        QByteArray data;
        auto put = [&](int code) {
            acc |= quint32(code) << bits;
            bits += 3;
            while (bits >= 8) {
                data += char(acc & 0xFF);
                acc >>= 8;
                bits -= 8;
            }
        };
        for (int p = 0; p < 4; ++p) {
            put(4);
            put(i % 2);
        }
        put(5);
        if (bits > 0)
            data += char(acc & 0xFF);
        b += char(data.size());
        b += data;
        b += char(0);
    }
    b += char(0x3B);
    return b;
}

namespace
{
void put16(QByteArray &b, quint32 v)
{
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
}
void put32(QByteArray &b, quint32 v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
} // namespace

QByteArray Dib::bytes() const
{
    QByteArray b;
    put32(b, quint32(headerSize));
    if (headerSize == 12) {
        put16(b, quint32(width));
        put16(b, quint32(height));
        put16(b, 1);
        put16(b, quint32(bits));
    } else {
        put32(b, quint32(width));
        put32(b, quint32(height));
        put16(b, 1);
        put16(b, quint32(bits));
        put32(b, compression);
        put32(b, quint32(pixels.size()));
        put32(b, 2835);
        put32(b, 2835);
        put32(b, quint32(palette.size()));
        put32(b, 0);
        // Masks inside version 2 and later headers; the rest of a larger header stays zero.
        if (headerSize >= 52 && headerSize != 64) {
            for (int i = 0; i < (headerSize >= 56 ? 4 : 3); ++i)
                put32(b, i < masks.size() ? masks[i] : 0);
        }
        b += QByteArray(headerSize - b.size(), 0);
        if (headerSize == 40)
            for (quint32 m : masks)
                put32(b, m);
    }
    for (QRgb c : palette) {
        b += char(qBlue(c));
        b += char(qGreen(c));
        b += char(qRed(c));
        if (headerSize != 12)
            b += char(0);
    }
    return b + pixels;
}

QByteArray bmpFile(const Dib &dib)
{
    const QByteArray d = dib.bytes();
    QByteArray b("BM");
    put32(b, quint32(14 + d.size()));
    put32(b, 0);
    put32(b, quint32(14 + d.size() - dib.pixels.size()));
    return b + d;
}

QByteArray dibRows(int width, int height, int bits, const std::function<quint32(int x, int y)> &value)
{
    QByteArray b;
    const int stride = ((width * bits + 31) / 32) * 4;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(stride, 0);
        for (int x = 0; x < width; ++x) {
            const quint32 v = value(x, y);
            if (bits < 8) {
                const int perByte = 8 / bits;
                row[x / perByte] = char(uchar(row[x / perByte]) | v << (8 - bits * (x % perByte + 1)));
            } else {
                for (int i = 0; i < bits / 8; ++i)
                    row[x * (bits / 8) + i] = char((v >> (8 * i)) & 0xFF);
            }
        }
        b += row;
    }
    return b;
}

QByteArray icoFile(const QList<IconEntry> &entries)
{
    QByteArray b;
    put16(b, 0);
    put16(b, 1);
    put16(b, quint32(entries.size()));
    quint32 offset = 6 + 16 * quint32(entries.size());
    for (const IconEntry &e : entries) {
        b += char(e.dirWidth & 0xFF);
        b += char(e.dirHeight & 0xFF);
        b += char(0);
        b += char(0);
        put16(b, 1);
        put16(b, quint32(e.dirBits));
        put32(b, e.dirLength >= 0 ? quint32(e.dirLength) : quint32(e.image.size()));
        put32(b, offset);
        offset += quint32(e.image.size());
    }
    for (const IconEntry &e : entries)
        b += e.image;
    return b;
}

} // namespace vorn::test
