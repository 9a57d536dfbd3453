// One entry point that decodes every picture kind the viewer shows, through the kind table:
// JPEG (scaled in the DCT domain when shown smaller, upright by its EXIF orientation, colours
// by its profile), BMP and ICO through our bitmap decoder, GIF (first frame here, animation
// through make_picture_movie), WMF through our player, and the kinds of today.
#pragma once

#include "codecs/picture_kinds.h"
#include "codecs/picture_orientation.h"
#include "codecs/picture_types.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>

class QMovie;

namespace vorn
{

class Texts;

// Loads a picture file; the kind comes from the extension.
// shownSize invalid: full decode at the natural size (zooming paints it scaled).
// shownSize valid: the result is exactly that size (JPEG decodes at the smallest of the scales
// 1/8..8/8 that is still at least that size, then scales smoothly; WMF renders at that size).
LoadedPicture load_picture(const QString &path, QSize shownSize = QSize());
// The same with every field of a request (a rule, the middle frame, cancellation).
LoadedPicture load_picture(const QString &path, const DecodeRequest &request);
// The same from bytes in memory (ZIP preview, fuzzing); maxPixels lowers the size guard.
LoadedPicture load_picture(const QByteArray &data, PictureKind kind, QSize shownSize = QSize(),
                           qint64 maxPixels = kMaxPicturePixels);

// For thumbnails: decodes at the size the rule picks from the natural size, with the same
// JPEG scaling in the DCT domain and EXIF orientation; a GIF gives its middle frame (frame
// count div 2) instead of the first.
LoadedPicture load_picture_sized(const QString &path, const ShownSizeRule &rule);
LoadedPicture load_picture_sized(const QByteArray &data, PictureKind kind, const ShownSizeRule &rule,
                                 qint64 maxPixels = kMaxPicturePixels);

// The DCT scale in eighths (1..8) a JPEG of `natural` size (as stored, before orientation)
// is decoded at to be shown at `shown`; 8 when shown is invalid or not smaller.
int jpeg_scale_for(QSize natural, QSize shown);

// An animation of a kind that animates (GIF, and the others the kind table gives an animation
// decoder), on a file or on bytes kept by the movie: cache off, speed 100 %, not started. Null
// when the data cannot be read as that kind. The view sets the speed and starts it.
std::unique_ptr<QMovie> make_picture_movie(const QString &path, PictureKind kind);
std::unique_ptr<QMovie> make_picture_movie(const QByteArray &data, PictureKind kind);

// The decoders of the described kinds, as the kind table calls them.
LoadedPicture decode_jpeg_picture(const QByteArray &data, const DecodeRequest &request);
LoadedPicture decode_bmp_picture(const QByteArray &data, const DecodeRequest &request);
LoadedPicture decode_ico_picture(const QByteArray &data, const DecodeRequest &request);
LoadedPicture decode_gif_picture(const QByteArray &data, const DecodeRequest &request);
LoadedPicture decode_wmf_picture(const QByteArray &data, const DecodeRequest &request);

// "File " + the file name in upper case + " couldn't be loaded!" in the current language.
QString load_failure_text(const Texts &texts, const QString &fileName);

} // namespace vorn
