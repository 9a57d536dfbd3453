#include "support/picture_fixtures.h"

#include <QBuffer>

#include <map>

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

namespace
{
// LZW as GIF encoders write it: a clear code first, the table grows up to 4096 codes, then a
// clear code starts it again.
QByteArray lzw(const QByteArray &indexes, int minCode)
{
    QByteArray out;
    quint32 acc = 0;
    int bits = 0;
    int codeSize = minCode + 1;
    auto put = [&](int code) {
        acc |= quint32(code) << bits;
        bits += codeSize;
        while (bits >= 8) {
            out += char(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    };
    const int clear = 1 << minCode;
    int next = clear + 2;
    std::map<std::pair<int, int>, int> table;
    put(clear);
    int w = uchar(indexes[0]);
    for (qsizetype i = 1; i < indexes.size(); ++i) {
        const int k = uchar(indexes[i]);
        const auto it = table.find({w, k});
        if (it != table.end()) {
            w = it->second;
            continue;
        }
        put(w);
        if (next < 4096) {
            table[{w, k}] = next++;
            if (next > (1 << codeSize) && codeSize < 12)
                ++codeSize;
        } else {
            put(clear);
            table.clear();
            next = clear + 2;
            codeSize = minCode + 1;
        }
        w = k;
    }
    put(w);
    put(clear + 1);
    if (bits > 0)
        out += char(acc & 0xFF);
    return out;
}

void putColours(QByteArray &b, const QList<QRgb> &colours, int entries)
{
    for (int i = 0; i < entries; ++i) {
        const QRgb c = i < colours.size() ? colours[i] : 0;
        b += char(qRed(c));
        b += char(qGreen(c));
        b += char(qBlue(c));
    }
}

// Table size field (entries = 2 << field) for this many colours.
int tableField(qsizetype colours)
{
    int field = 0;
    while ((2 << field) < colours)
        ++field;
    return field;
}
} // namespace

QByteArray gifFile(QSize screen, const QList<QRgb> &global, const QList<GifImage> &images, int loops)
{
    QByteArray b("GIF89a");
    put16(b, quint32(screen.width()));
    put16(b, quint32(screen.height()));
    const int field = tableField(global.size());
    b += char(global.isEmpty() ? 0 : 0x80 | field);
    b += char(0);
    b += char(0);
    if (!global.isEmpty())
        putColours(b, global, 2 << field);
    if (loops >= 0) {
        b += QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        put16(b, quint32(loops));
        b += char(0);
    }
    for (const GifImage &image : images) {
        if (image.control) {
            b += QByteArray("\x21\xF9\x04", 3);
            b += char(image.disposal << 2 | (image.transparent >= 0 ? 1 : 0));
            put16(b, quint32(image.delayCs));
            b += char(std::max(0, image.transparent));
            b += char(0);
        }
        b += char(0x2C);
        put16(b, quint32(image.rect.x()));
        put16(b, quint32(image.rect.y()));
        put16(b, quint32(image.rect.width()));
        put16(b, quint32(image.rect.height()));
        const int localField = tableField(image.local.size());
        b += char((image.local.isEmpty() ? 0 : 0x80 | localField) | (image.interlaced ? 0x40 : 0));
        if (!image.local.isEmpty())
            putColours(b, image.local, 2 << localField);
        QByteArray indexes = image.indexes;
        if (image.interlaced) {
            // Rows in the four passes: every 8th from 0, every 8th from 4, every 4th from 2,
            // every 2nd from 1.
            const int w = image.rect.width(), h = image.rect.height();
            indexes.clear();
            for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < h; y += step)
                    indexes += image.indexes.mid(qsizetype(y) * w, w);
        }
        int maxIndex = 1;
        for (char c : indexes)
            maxIndex = std::max(maxIndex, int(uchar(c)));
        const int minCode = std::max(2, tableField(maxIndex + 1) + 1);
        b += char(minCode);
        const QByteArray data = lzw(indexes, minCode);
        for (qsizetype i = 0; i < data.size(); i += 255) {
            const QByteArray chunk = data.mid(i, 255);
            b += char(chunk.size());
            b += chunk;
        }
        b += char(0);
    }
    b += char(0x3B);
    return b;
}

// A GIF with `frames` frames of 2 x 2 pixels; each frame uses colour (i % 2).
QByteArray gif(int frames)
{
    QList<GifImage> images;
    for (int i = 0; i < frames; ++i) {
        GifImage frame;
        frame.rect = QRect(0, 0, 2, 2);
        frame.indexes = QByteArray(4, char(i % 2));
        frame.delayCs = 10;
        images << frame;
    }
    return gifFile(QSize(2, 2), {qRgb(255, 0, 0), qRgb(0, 0, 255)}, images);
}

} // namespace vorn::test
