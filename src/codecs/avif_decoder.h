// AVIF pictures through libavif: the AV1 image (or the first, or middle, frame of a sequence)
// in 8 bits whatever its depth, alpha kept, upright by its irot and imir boxes, in sRGB by its
// colr box (nclx or a profile). Limits are checked from the header before decoding.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>

namespace vorn
{

LoadedPicture decode_avif(const QByteArray &data, const DecodeRequest &req);

} // namespace vorn
