// The steps the decoders of today's formats (WebP, AVIF, HEIF, JPEG XL) share once a library
// has given its pixels: which size is asked for, the pixel guard, cancellation, scaling to
// exactly the shown size and turning the picture upright.
#pragma once

#include "codecs/picture_types.h"

#include <QImage>
#include <QSize>

namespace vorn
{

// The upright size the request asks for a picture of this natural (upright) size: the rule's
// pick when there is a rule, else req.shownSize (invalid: the natural size).
QSize requested_size(const DecodeRequest &req, QSize natural);

// A size a decoder may allocate: not empty and at most maxPixels pixels.
bool within_pixel_limit(QSize size, qint64 maxPixels);

inline bool is_cancelled(const DecodeRequest &req)
{
    return req.cancelled && req.cancelled();
}

// The size the decoded (stored, not yet upright) picture must have so that it is `upright`
// once a transform that swaps width and height (swaps) is applied.
inline QSize stored_size(QSize upright, bool swaps)
{
    return swaps && upright.isValid() ? upright.transposed() : upright;
}

// The picture scaled smoothly to exactly `size` (unchanged when it has that size or size is
// invalid; null when size is empty).
QImage scaled_exactly(const QImage &image, QSize size);

// A picture with an alpha channel as premultiplied ARGB32, else as RGB32; converted in place
// where Qt can.
void to_display_format(QImage *image, bool hasAlpha);

// HEIF's geometric transforms as the boxes give them: first a rotation by quarterTurnsCcw
// quarter turns anticlockwise, then a mirror (mirror < 0: none; 0: top and bottom exchanged;
// 1: left and right exchanged).
QImage apply_rotation_mirror(const QImage &image, int quarterTurnsCcw, int mirror);

} // namespace vorn
