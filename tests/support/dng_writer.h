// Camera RAW files made for tests and benchmarks: a DNG with a Bayer mosaic (RGGB, 16 bits a
// sample) sampled from a picture, so that a development gives that picture back, with an
// optional embedded preview and an orientation.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vorn::test
{

struct DngPicture {
    // The scene in sRGB; the mosaic has its size. Camera space is linear sRGB and the white
    // balance neutral, so a development into sRGB gives these colours back.
    QImage scene;
    // 1..8 as in EXIF, written as the TIFF Orientation of the main directory.
    int orientation = 1;
    // An embedded preview (the first directory, as cameras write it); null: none.
    QImage preview{};
    // The preview as a JPEG (else as 8-bit RGB), and the EXIF orientation inside that JPEG
    // (0: no EXIF block).
    bool previewJpeg = true;
    int previewExifOrientation = 0;
};

// Writes the DNG; false when libtiff cannot.
bool writeDng(const QString &path, const DngPicture &picture);
// The same as bytes (empty on failure).
QByteArray dngBytes(const DngPicture &picture);

} // namespace vorn::test
