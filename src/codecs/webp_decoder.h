// WebP pictures through libwebp: still pictures decoded straight at the shown size by the
// library's own scaler, upright by the EXIF chunk's orientation, in sRGB by the ICCP chunk's
// profile; animated ones through WebpAnimation (the first or the middle frame here).
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>

namespace vorn
{

LoadedPicture decode_webp(const QByteArray &data, const DecodeRequest &req);
// The natural (upright) size from the first bytes of a file; invalid when they do not tell.
QSize probe_webp_size(const QByteArray &head);

} // namespace vorn
