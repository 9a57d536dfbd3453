// Colour profiles and profiled pictures built by the tests, for the decoders' colour handling.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace vorn::test
{

// Display P3 (P3 primaries, D65, the sRGB curve) as a matrix/TRC ICC profile.
QByteArray displayP3Profile();
// A lookup-table ICC profile (AToB0 only, no matrix) whose colours are those of sRGB with red and
// blue swapped: RGB when `cmyk` is false, else CMYK taking the plain ink formula first.
QByteArray channelSwapProfile(bool cmyk);
// A gray ICC profile with a linear curve (gray 128 is sRGB 188).
QByteArray linearGrayProfile();

// A baseline JPEG of one flat colour with an ICC profile in APP2 chunks (split in pieces of
// `chunk` bytes to test their joining). With `cmyk` the colour is written as the inverted CMYK
// Adobe writes (C = 255 - red, M = 255 - green, Y = 255 - blue, K = 255).
QByteArray profiledJpeg(QSize size, QColor colour, const QByteArray &icc, bool cmyk = false,
                        int chunk = 65519);

// The sRGB value of a colour given in Display P3, worked out from the primaries.
QColor displayP3InSrgb(QColor p3);

} // namespace vorn::test
