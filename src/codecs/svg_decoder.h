// SVG drawings through QSvgRenderer, rendered at the shown size over transparency. A drawing
// never makes the program read another file or reach the network: before rendering, the
// document is written anew without its DTD (entities are expanded within a bound, external
// ones dropped), processing instructions, scripts, foreign objects, CSS imports and every
// reference that is not inside the document (a fragment "#id") or a data: URL. Compressed
// drawings (svgz) are inflated up to a bound.
#pragma once

#include "codecs/picture_types.h"

#include <QByteArray>
#include <QSize>

namespace vorn
{

// The largest side of a drawing's natural size; larger ones are scaled down to it (a few
// bytes of drawing never cost more than 256 MB of picture at 100 %).
constexpr int kMaxSvgSide = 8192;
// A compressed drawing inflates to at most this many bytes.
constexpr qsizetype kMaxSvgBytes = 32 << 20;

LoadedPicture decode_svg_picture(const QByteArray &data, const DecodeRequest &request);

// The document as rendered: self-contained as described above; empty when it is no readable
// XML (or inflates beyond the bound).
QByteArray self_contained_svg(const QByteArray &data);

} // namespace vorn
