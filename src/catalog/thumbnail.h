// One catalog thumbnail: the size rule, the picture decoded through the shared loader (JPEG
// scaled in the DCT domain, upright by EXIF; a GIF's middle frame) and a baseline JPEG of
// quality 50 written through libjpeg-turbo. Safe to call from several threads at once.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace vorn
{

constexpr int kThumbnailQuality = 50;

// The thumbnail size of a picture for the cell size S (0 is read as 100): never enlarged; else
// the longer side becomes S and the other the nearest integer of side x S / longer side, a
// value exactly halfway going to the even neighbour, and at least 1.
QSize thumbnail_size(QSize natural, int cellSize);

// A baseline JPEG of the image as 24-bit colour (transparent parts over white); empty on failure.
QByteArray encode_jpeg(const QImage &image, int quality = kThumbnailQuality);

struct ThumbnailResult {
    bool ok = false;
    QSize size; // the thumbnail's width and height as written into the page
};

// Loads the picture, reduces it to thumbnail_size() and writes the JPEG to thumbPath (a file
// that is replaced). Fails when the picture cannot be loaded or the file cannot be written.
ThumbnailResult make_thumbnail(const QString &picture, const QString &thumbPath, int cellSize);

} // namespace vorn
