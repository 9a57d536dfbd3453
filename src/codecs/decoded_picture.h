// The steps the decoders of today's formats (WebP, AVIF, HEIF, JPEG XL) share once a library
// has given its pixels: cancellation and the display format.
#pragma once

#include "codecs/picture_types.h"

#include <QImage>

namespace vorn
{

inline bool is_cancelled(const DecodeRequest &req)
{
    return req.cancelled && req.cancelled();
}

// A picture with an alpha channel as premultiplied ARGB32, else as RGB32; converted in its own
// memory where it is 8-bit RGBA or RGBX (or where Qt can).
void to_display_format(QImage *image, bool hasAlpha);

} // namespace vorn
