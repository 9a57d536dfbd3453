// TIFF through libtiff: every page a frame (a file of several pages plays them one after the
// other, as an animation does), upright by its orientation tag, colours by its ICC profile
// (CMYK too), 16-bit samples to 8, the reduced pages of a page (subfile type 1) for a smaller
// shown size, else the page shrunk by a whole factor while its rows are read. libtiff's messages
// are caught per file and never printed; its allocations are bounded, and the picture's size is checked
// before ours.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>
#include <QSize>

#include <memory>

namespace vorn
{

LoadedPicture decode_tiff_picture(const QByteArray &data, const DecodeRequest &request);
// The upright size of the first page, from the first bytes when its directory is among them.
QSize probe_tiff_size(const QByteArray &head);
// The pages of a TIFF file as frames, each fitted into the first page's size.
std::unique_ptr<AnimationDecoder> make_tiff_pages();

// How long a page stays when a file of several pages plays, in ms.
constexpr int kTiffPageMs = 2000;

} // namespace vorn
