// HEIC and HEIF pictures through libheif: the primary image (or, for a fitted view or a
// thumbnail, the file's own thumbnail when it is at least the shown size), upright by the
// library's own application of the irot, imir and clap boxes, 8 bits whatever the depth,
// alpha kept, in sRGB by the colr box (nclx or a profile).
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>

namespace vorn
{

LoadedPicture decode_heif(const QByteArray &data, const DecodeRequest &req);
// The natural (upright) size from the first bytes of a file; invalid when they do not tell.
QSize probe_heif_size(const QByteArray &head);

} // namespace vorn
