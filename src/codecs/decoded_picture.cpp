#include "codecs/decoded_picture.h"

namespace vorn
{

namespace
{

// Turns 8-bit pixels in byte order R, G, B, A (or X) into the display format in their own
// memory: a picture on memory of its own (a decoder's mapped buffer) is otherwise copied whole
// by Qt, which costs a fresh 48 MB and its page faults for a 12-megapixel picture.
bool convert_rgba_bytes_in_place(QImage *image, QImage::Format format)
{
    const QImage::Format from = image->format();
    const bool opaque = from == QImage::Format_RGBX8888;
    const bool straight = from == QImage::Format_RGBA8888;
    if ((!opaque && !straight && from != QImage::Format_RGBA8888_Premultiplied) ||
        (format == QImage::Format_RGB32) != opaque)
        return false;
    const int width = image->width();
    for (int y = 0, h = image->height(); y < h; ++y) {
        uchar *p = image->scanLine(y);
        auto *out = reinterpret_cast<QRgb *>(p);
        for (int x = 0; x < width; ++x, p += 4) {
            const QRgb rgba = qRgba(p[0], p[1], p[2], opaque ? 255 : p[3]);
            out[x] = straight ? qPremultiply(rgba) : rgba;
        }
    }
    return image->reinterpretAsFormat(format);
}

} // namespace

void to_display_format(QImage *image, bool hasAlpha)
{
    const QImage::Format format = hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (image->isNull() || image->format() == format || convert_rgba_bytes_in_place(image, format))
        return;
    image->convertTo(format);
}

} // namespace vorn
