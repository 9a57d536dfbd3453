// Reads a picture's natural size from its header without decoding it, so that the view can ask
// the loader for exactly the fitted size (and the JPEG decoder can scale in the DCT domain).
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

namespace vorn
{

// The size at 100 % as the view shows it (upright by the EXIF orientation), from the first
// bytes of the file through its kind's probe; kinds without one, and files that cannot be
// read, give an invalid size.
QSize probe_picture_size(const QString &path);

// The stored size (before orientation) and the EXIF orientation (1..8) from the markers of a
// JPEG in memory up to its first scan; false when the header cannot be read.
bool read_jpeg_header(const QByteArray &data, QSize *stored, int *orientation);

// The probe of JPEG: the upright size from the markers up to the first scan.
QSize probe_jpeg_size(const QByteArray &head);

} // namespace vorn
