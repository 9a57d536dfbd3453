// PNG through libpng: every bit depth and colour type to 8 bits a channel, the colour chunks
// (iCCP, sRGB, gAMA, cHRM) to sRGB, upright by eXIf, its size checked from IHDR before anything
// is allocated, cancellable between rows. An animated PNG (APNG) gives its default image and its
// frame count (the middle frame when asked, through ApngAnimation): the libpng of the system
// does not read the animation chunks.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>
#include <QSize>

namespace vorn
{

LoadedPicture decode_png_picture(const QByteArray &data, const DecodeRequest &request);
// The upright size from IHDR and an eXIf chunk before the image data; invalid when unreadable.
QSize probe_png_size(const QByteArray &head);

} // namespace vorn
