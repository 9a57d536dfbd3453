// 8-bit YCbCr planes (as HEVC, AV1 and the like decode them) turned into RGB32 pixels, by the
// matrix an nclx box or the stream's own colour description names (ITU-T H.273), chroma taken
// from the nearest sample, rows split over several threads.
#pragma once

#include <QImage>

#include <cstdint>

namespace vorn
{

struct YcbcrPlanes {
    const uint8_t *y = nullptr;
    const uint8_t *cb = nullptr; // cb and cr null: a gray picture
    const uint8_t *cr = nullptr;
    int yStride = 0, cbStride = 0, crStride = 0;
    // log2 of the chroma subsampling: 1 and 1 for 4:2:0, 1 and 0 for 4:2:2, 0 and 0 for 4:4:4
    int chromaShiftX = 0, chromaShiftY = 0;
};

// Whether ycbcr_to_rgb32 converts by these H.273 matrix coefficients: the fixed ones (GBR, BT.709,
// FCC, BT.470/601, SMPTE 240M, BT.2020 non-constant luminance) and "unspecified", which is read
// as BT.601; not YCgCo, the constant-luminance ones, ICtCp or those derived from the primaries.
bool ycbcr_matrix_supported(int matrixCoefficients);

// Writes every pixel of *out (RGB32, of the planes' size) from the planes, on up to `threads`
// threads. Nothing is written for a matrix that is not supported; false then.
bool ycbcr_to_rgb32(const YcbcrPlanes &planes, int matrixCoefficients, bool fullRange, QImage *out,
                    int threads);

// The picture of planes of `size` reduced by a whole `factor`: each pixel of *out (RGB32, of
// reduced_size(size, factor)) from the average samples of its factor x factor block, the blocks
// at the right and bottom edges smaller; factors from 1 to 64. For a fitted view: the full
// picture is never made.
bool ycbcr_to_rgb32_reduced(const YcbcrPlanes &planes, QSize size, int factor, int matrixCoefficients,
                            bool fullRange, QImage *out, int threads);
QSize reduced_size(QSize size, int factor);

} // namespace vorn
