#include "codecs/decoded_picture.h"

#include <QTransform>

namespace vorn
{

QSize requested_size(const DecodeRequest &req, QSize natural)
{
    if (req.rule)
        return (*req.rule)(natural);
    return req.shownSize;
}

bool within_pixel_limit(QSize size, qint64 maxPixels)
{
    return size.width() > 0 && size.height() > 0 && qint64(size.width()) * size.height() <= maxPixels;
}

QImage scaled_exactly(const QImage &image, QSize size)
{
    if (!size.isValid() || image.size() == size)
        return image;
    if (size.isEmpty())
        return QImage();
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void to_display_format(QImage *image, bool hasAlpha)
{
    const QImage::Format format = hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (!image->isNull() && image->format() != format)
        image->convertTo(format);
}

QImage apply_rotation_mirror(const QImage &image, int quarterTurnsCcw, int mirror)
{
    if (image.isNull())
        return image;
    QImage out = image;
    const int turns = ((quarterTurnsCcw % 4) + 4) % 4;
    if (turns != 0) {
        QTransform t;
        t.rotate(-90.0 * turns); // positive angles turn clockwise on the screen
        out = out.transformed(t);
    }
    if (mirror == 0)
        out = out.mirrored(false, true);
    else if (mirror == 1)
        out = out.mirrored(true, false);
    return out;
}

} // namespace vorn
