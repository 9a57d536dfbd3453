// Pictures built in memory for the picture tests.
#pragma once

#include <QByteArray>
#include <QImage>

namespace vorn::test
{

// The image in a file format Qt writes ("jpg", "bmp", "ico", ...).
QByteArray encode(const QImage &image, const char *format, int quality = 90);
// The JPEG with an APP1 Exif segment holding only the orientation tag.
QByteArray withOrientation(const QByteArray &jpeg, int orientation);
// An animated GIF of 2 x 2 frames, 100 ms each, alternating red and blue.
QByteArray gif(int frames);

} // namespace vorn::test
