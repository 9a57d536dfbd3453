// Colour for every decoder: pictures are handed out in sRGB, so that the screen and the catalog
// show the colours their makers meant. Embedded ICC profiles go through QColorSpace where it
// reads them (matrix/TRC profiles) and through LittleCMS for the rest (lookup-table and gray
// profiles, CMYK); coded colour (CICP, as in an nclx box) is mapped by its primaries and transfer.
#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>

namespace vorn
{

// Converts *image from the colour space of the ICC profile to sRGB in place. Unchanged when the
// profile is empty, unreadable, does not fit the image's colours, or is already sRGB. A gray
// profile needs a gray image (Grayscale8/16); the result is then RGB32.
void convert_icc_to_srgb(QImage *image, const QByteArray &iccProfile);

// Converts *image from coded primaries and transfer characteristics (the numbers of
// ITU-T H.273: 1 BT.709, 9 BT.2020, 11 DCI-P3, 12 Display P3; transfer 1/6/14/15 BT.709,
// 13 sRGB, 4 gamma 2.2, 5 gamma 2.8, 8 linear, 16 PQ, 18 HLG) to 8-bit sRGB in place.
// Pictures in BT.709 or sRGB, and unknown codes, stay as they are. PQ and HLG (HDR) are
// mapped with diffuse white at 203 cd/m² as sRGB white and highlights rolled off softly; give
// them as 16-bit images (RGBA64/RGBX64) to keep their precision.
void convert_cicp_to_srgb(QImage *image, int primaries, int transfer);

// CMYK samples to sRGB rows. With a CMYK ICC profile (a printer's, as Photoshop embeds in JPEG)
// through LittleCMS; without one, or with one LittleCMS cannot read, by the plain ink formula.
// `inverted`: the samples are stored as 255 minus the ink (Adobe's JPEG files).
class CmykToSrgb
{
  public:
    CmykToSrgb(const QByteArray &iccProfile, bool inverted);
    ~CmykToSrgb();
    CmykToSrgb(const CmykToSrgb &) = delete;
    CmykToSrgb &operator=(const CmykToSrgb &) = delete;

    // True when the profile is used (false: the plain formula).
    bool usesProfile() const { return transform_ != nullptr; }
    // `width` pixels of 4 samples each into opaque RGB32 pixels.
    void convertRow(const uchar *cmyk, QRgb *out, int width) const;

  private:
    void *transform_ = nullptr; // cmsHTRANSFORM
    bool inverted_ = false;
};

// A whole CMYK picture (4 bytes a pixel, rows of bytesPerLine) as an RGB32 picture in sRGB.
QImage cmyk_to_srgb(const uchar *cmyk, int width, int height, qsizetype bytesPerLine, bool inverted,
                    const QByteArray &iccProfile);

} // namespace vorn
