// One entry point that decodes every picture kind the viewer shows: JPEG (scaled in the DCT
// domain when shown smaller, upright by its EXIF orientation), BMP and ICO through our bitmap
// decoder, GIF (first frame here, animation through make_gif_movie) and WMF through our player.
#pragma once

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

// Kind by the lower-cased extension: ".jpg", ".jpeg", ".jpe", ".bmp", ".ico", ".gif", ".wmf".
PictureKind picture_kind(const QString &fileName);
inline bool is_animated_kind(PictureKind k)
{
    return k == PictureKind::Gif;
}
// Metafiles and icons are drawn over the view's background.
inline bool is_transparent_kind(PictureKind k)
{
    return k == PictureKind::Wmf || k == PictureKind::Ico;
}

// Loads a picture file; the kind comes from the extension.
// shownSize invalid: full decode at the natural size (zooming paints it scaled).
// shownSize valid: the result is exactly that size (JPEG decodes at the smallest of the scales
// 1/8..8/8 that is still at least that size, then scales smoothly; WMF renders at that size).
LoadedPicture load_picture(const QString &path, QSize shownSize = QSize());
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

// EXIF orientation (1..8) from the APP1 segment of a JPEG; 1 when absent or unreadable.
int exif_orientation(const QByteArray &app1Payload);
// Turns an image stored with the given EXIF orientation upright.
QImage apply_exif_orientation(const QImage &image, int orientation);

// An animation on a GIF file (or on bytes, kept by the movie): cache off, speed 100 %, not
// started. Null when the data cannot be read as GIF. The view sets the speed and starts it.
std::unique_ptr<QMovie> make_gif_movie(const QString &path);
std::unique_ptr<QMovie> make_gif_movie(const QByteArray &data);

// "File " + the file name in upper case + " couldn't be loaded!" in the current language.
QString load_failure_text(const Texts &texts, const QString &fileName);

} // namespace vorn
