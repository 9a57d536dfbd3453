#include "codecs/decoded_picture.h"

namespace vorn
{

void to_display_format(QImage *image, bool hasAlpha)
{
    const QImage::Format format = hasAlpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (!image->isNull() && image->format() != format)
        image->convertTo(format);
}

} // namespace vorn
