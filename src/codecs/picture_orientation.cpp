#include "codecs/picture_orientation.h"

#include <QTransform>

#include <cstring>

namespace vorn
{

namespace
{

struct ByteView {
    const uchar *p;
    qsizetype n;
    bool little;
    bool u16(qsizetype off, quint16 *v) const
    {
        if (off < 0 || off + 2 > n)
            return false;
        *v = little ? quint16(p[off] | p[off + 1] << 8) : quint16(p[off] << 8 | p[off + 1]);
        return true;
    }
    bool u32(qsizetype off, quint32 *v) const
    {
        if (off < 0 || off + 4 > n)
            return false;
        const quint32 b0 = p[off], b1 = p[off + 1], b2 = p[off + 2], b3 = p[off + 3];
        *v = little ? (b0 | b1 << 8 | b2 << 16 | b3 << 24) : (b0 << 24 | b1 << 16 | b2 << 8 | b3);
        return true;
    }
};

} // namespace

int exif_orientation(const QByteArray &exif)
{
    // Maybe "Exif\0\0", then a TIFF header: byte order, 42, offset of the first directory (IFD0).
    static const char kExif[] = {'E', 'x', 'i', 'f', 0, 0};
    const qsizetype skip = exif.size() >= 6 && memcmp(exif.constData(), kExif, 6) == 0 ? 6 : 0;
    if (exif.size() < skip + 8)
        return 1;
    const uchar *tiff = reinterpret_cast<const uchar *>(exif.constData()) + skip;
    const qsizetype n = exif.size() - skip;
    ByteView v{tiff, n, false};
    if (tiff[0] == 'I' && tiff[1] == 'I')
        v.little = true;
    else if (!(tiff[0] == 'M' && tiff[1] == 'M'))
        return 1;
    quint16 magic = 0;
    quint32 ifd = 0;
    quint16 count = 0;
    if (!v.u16(2, &magic) || magic != 42 || !v.u32(4, &ifd) || ifd > quint32(n) || !v.u16(ifd, &count))
        return 1;
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype entry = qsizetype(ifd) + 2 + qsizetype(i) * 12;
        quint16 tag = 0, type = 0;
        quint32 num = 0;
        if (!v.u16(entry, &tag) || !v.u16(entry + 2, &type) || !v.u32(entry + 4, &num))
            return 1;
        if (tag != 0x0112)
            continue;
        quint16 value = 0;
        if (type != 3 || num < 1 || !v.u16(entry + 8, &value)) // SHORT, stored in the entry
            return 1;
        return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

QImage apply_exif_orientation(const QImage &image, int orientation)
{
    if (orientation <= 1 || orientation > 8 || image.isNull())
        return image;
    QTransform t;
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        t.rotate(180);
        return image.transformed(t);
    case 4:
        return image.mirrored(false, true);
    case 5: // transpose: mirror, then rotate three quarter turns clockwise
        t.rotate(270);
        return image.mirrored(true, false).transformed(t);
    case 6:
        t.rotate(90);
        return image.transformed(t);
    case 7: // transverse: mirror, then rotate a quarter turn clockwise
        t.rotate(90);
        return image.mirrored(true, false).transformed(t);
    case 8:
        t.rotate(270);
        return image.transformed(t);
    }
    return image;
}

} // namespace vorn
