#include "support/dng_writer.h"

#include "support/picture_fixtures.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <tiffio.h>
#include <vector>

namespace vorn::test
{

namespace
{

// XYZ (D65) to linear sRGB: the colour matrix of a camera whose space is linear sRGB.
const float kXyzToLinearSrgb[9] = {3.2404542f, -1.5371385f, -0.4985314f, -0.9692660f, 1.8760108f,
                                   0.0415560f, 0.0556434f,  -0.2040259f, 1.0572252f};

quint16 linearSample(int srgb)
{
    const double v = srgb / 255.0;
    const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    return quint16(std::lround(linear * 65535));
}

bool writePreview(TIFF *tif, const DngPicture &picture)
{
    const QImage rgb = picture.preview.convertToFormat(QImage::Format_RGB888);
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(rgb.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(rgb.height()));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rgb.height()));
    if (picture.previewJpeg) {
        // The whole JPEG file as the one strip, as cameras store their previews.
        QByteArray jpeg = encode(picture.preview, "jpg", 90);
        if (picture.previewExifOrientation > 0)
            jpeg = withOrientation(jpeg, picture.previewExifOrientation);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
        TIFFCheckpointDirectory(tif);
        return TIFFWriteRawStrip(tif, 0, jpeg.data(), tmsize_t(jpeg.size())) == tmsize_t(jpeg.size());
    }
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFCheckpointDirectory(tif);
    QByteArray rows;
    for (int y = 0; y < rgb.height(); ++y)
        rows.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    return TIFFWriteEncodedStrip(tif, 0, rows.data(), tmsize_t(rows.size())) == tmsize_t(rows.size());
}

void writeDngTags(TIFF *tif, int orientation)
{
    const uint8_t version[4] = {1, 4, 0, 0};
    TIFFSetField(tif, TIFFTAG_DNGVERSION, version);
    TIFFSetField(tif, TIFFTAG_MAKE, "Vorn");
    TIFFSetField(tif, TIFFTAG_MODEL, "Test mosaic");
    TIFFSetField(tif, TIFFTAG_UNIQUECAMERAMODEL, "Vorn Test mosaic");
    TIFFSetField(tif, TIFFTAG_COLORMATRIX1, 9, kXyzToLinearSrgb);
    TIFFSetField(tif, TIFFTAG_CALIBRATIONILLUMINANT1, 21); // D65
    const float neutral[3] = {1, 1, 1};
    TIFFSetField(tif, TIFFTAG_ASSHOTNEUTRAL, 3, neutral);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(orientation));
}

bool writeMosaic(TIFF *tif, const QImage &scene)
{
    const QImage rgb = scene.convertToFormat(QImage::Format_RGB888);
    const uint32_t w = uint32_t(rgb.width()), h = uint32_t(rgb.height());
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, 0);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, 32803); // colour filter array
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const uint16_t dim[2] = {2, 2};
    TIFFSetField(tif, TIFFTAG_CFAREPEATPATTERNDIM, dim);
    const uint8_t rggb[4] = {0, 1, 1, 2};
    TIFFSetField(tif, TIFFTAG_CFAPATTERN, 4, rggb);
    const uint32_t white = 65535;
    TIFFSetField(tif, TIFFTAG_WHITELEVEL, 1, &white);
    constexpr uint32_t kRowsPerStrip = 64;
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kRowsPerStrip);
    TIFFCheckpointDirectory(tif);
    quint16 lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = linearSample(i);
    std::vector<quint16> strip(size_t(w) * kRowsPerStrip);
    for (uint32_t first = 0, s = 0; first < h; first += kRowsPerStrip, ++s) {
        const uint32_t n = std::min(kRowsPerStrip, h - first);
        for (uint32_t i = 0; i < n; ++i) {
            const uchar *in = rgb.constScanLine(int(first + i));
            quint16 *out = strip.data() + size_t(i) * w;
            const uint32_t y = first + i;
            for (uint32_t x = 0; x < w; ++x) {
                // R G / G B
                const int channel = (y & 1) == 0 ? ((x & 1) == 0 ? 0 : 1) : ((x & 1) == 0 ? 1 : 2);
                out[x] = lut[in[x * 3 + channel]];
            }
        }
        const tmsize_t bytes = tmsize_t(n) * w * 2;
        if (TIFFWriteEncodedStrip(tif, s, strip.data(), bytes) != bytes)
            return false;
    }
    return true;
}

} // namespace

// Each directory is written before its pixels (and rewritten in place once they are), so that
// the directories come first in the file, as cameras write them, and a file cut short keeps them.
bool writeDng(const QString &path, const DngPicture &picture)
{
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    bool ok = true;
    if (!picture.preview.isNull()) {
        // The preview is the main directory; the mosaic its sub-directory.
        toff_t subIfd[1] = {0};
        TIFFSetField(tif, TIFFTAG_SUBIFD, 1, subIfd);
        writeDngTags(tif, picture.orientation);
        ok = writePreview(tif, picture) && TIFFWriteDirectory(tif);
        ok = ok && writeMosaic(tif, picture.scene) && TIFFWriteDirectory(tif);
    } else {
        writeDngTags(tif, picture.orientation);
        ok = writeMosaic(tif, picture.scene) && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

QByteArray dngBytes(const DngPicture &picture)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.dng"));
    if (!dir.isValid() || !writeDng(path, picture))
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace vorn::test
