// Reducing a decoded picture to the size it is shown at, by averaging the area each new pixel
// covers. Done on the calling thread: Qt's smooth scaling hands larger pictures to the global
// thread pool and waits, which lets two thumbnail workers queue behind each other there.
#pragma once

#include <QImage>
#include <QSize>

namespace vorn
{

// The picture at `size`, each pixel the average of the part of the source it covers, channel
// by channel (correct for opaque and premultiplied pixels). The result is a new picture of the
// same format on memory from large_image(). A size larger than the source in either direction,
// or a format other than RGB32, RGBX8888 and their premultiplied kin, is scaled by Qt instead.
QImage shrink_image(const QImage &source, QSize size);

} // namespace vorn
