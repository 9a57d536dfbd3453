// Upright pictures: the EXIF orientation (1..8) as JPEG APP1, PNG eXIf, WebP EXIF, HEIF and TIFF
// carry it, and the one transform every decoder applies with it, once, before a picture is shown
// or becomes a thumbnail.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace vorn
{

// The orientation tag of an EXIF block: a TIFF structure, with or without the "Exif\0\0" that
// JPEG's APP1 puts before it. 1 when absent or unreadable.
int exif_orientation(const QByteArray &exif);
// Turns an image stored with the given EXIF orientation upright.
QImage apply_exif_orientation(const QImage &image, int orientation);
// The upright size of a picture stored at `stored` with that orientation.
inline QSize oriented_size(QSize stored, int orientation)
{
    return orientation >= 5 && orientation <= 8 ? stored.transposed() : stored;
}

} // namespace vorn
