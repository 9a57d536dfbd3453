// JPEG XL pictures through libjxl: upright by the library's own orientation, asked for in sRGB
// where the codestream lets the library choose (else its colour profile is converted), 8 bits
// whatever the depth, alpha kept; a fitted view or thumbnail at an eighth of the picture or less
// uses its 1/8 (DC) image, rendered by the library at full size and reduced, and so does a coarse
// first look (DecodeRequest::coarseFirst) at a quarter or less. Animations give their first frame (or the
// middle one when asked) and their frame count. The data goes to the library in steps, so a
// cancel is seen between them. Animations play through JxlAnimation: every shown frame
// composited by the library (coalescing), its duration from the animation's ticks per second,
// the loop count of the animation header.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>

#include <memory>

namespace vorn
{

LoadedPicture decode_jxl(const QByteArray &data, const DecodeRequest &req);
// The natural (upright) size from the first bytes of a file; invalid when they do not tell.
QSize probe_jxl_size(const QByteArray &head);

std::unique_ptr<AnimationDecoder> make_jxl_animation();

} // namespace vorn
