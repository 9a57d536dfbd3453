#include "codecs/ycbcr_to_rgb.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

namespace vorn
{

namespace
{

constexpr int kFraction = 14;
constexpr int kHalf = 1 << (kFraction - 1);
// Below this many pixels a second thread costs more than it saves.
constexpr qint64 kPixelsPerThread = qint64(1) << 18;
// The largest factor of a reduction: the sums of a block stay well inside an int.
constexpr int kMaxReduction = 64;

// The luma and chroma weights of a matrix (H.273, Kr and Kb); false for the ones not converted.
bool weights(int matrix, double *kr, double *kb)
{
    switch (matrix) {
    case 1: // BT.709
        *kr = 0.2126, *kb = 0.0722;
        return true;
    case 2: // unspecified: read as BT.601, as libheif does
    case 5: // BT.470 B/G
    case 6: // BT.601
        *kr = 0.299, *kb = 0.114;
        return true;
    case 4: // FCC
        *kr = 0.30, *kb = 0.11;
        return true;
    case 7: // SMPTE 240M
        *kr = 0.212, *kb = 0.087;
        return true;
    case 9: // BT.2020 non-constant luminance
        *kr = 0.2627, *kb = 0.0593;
        return true;
    default:
        return false;
    }
}

// Fixed-point factors: value = (ys * (Y - yoff) + rcr * Cr' ...) >> kFraction, with Cb' and Cr'
// the chroma samples less 128.
struct Factors {
    int ys = 1 << kFraction, yoff = 0;
    int rcr = 0, gcb = 0, gcr = 0, bcb = 0;
    bool gbr = false;
};

int fixed(double v)
{
    return int(std::lround(v * (1 << kFraction)));
}

bool factors_for(int matrix, bool fullRange, Factors *f)
{
    // Limited range: luma from 16 to 235, chroma 16 to 240 around 128.
    const double ys = fullRange ? 1.0 : 255.0 / 219.0;
    const double cs = fullRange ? 1.0 : 255.0 / 224.0;
    f->ys = fixed(ys);
    f->yoff = fullRange ? 0 : 16;
    if (matrix == 0) {
        f->gbr = true;
        return true;
    }
    double kr = 0, kb = 0;
    if (!weights(matrix, &kr, &kb))
        return false;
    const double kg = 1.0 - kr - kb;
    f->rcr = fixed(2.0 * (1.0 - kr) * cs);
    f->bcb = fixed(2.0 * (1.0 - kb) * cs);
    f->gcb = fixed(2.0 * kb * (1.0 - kb) / kg * cs);
    f->gcr = fixed(2.0 * kr * (1.0 - kr) / kg * cs);
    return true;
}

inline quint32 clamp8(int v)
{
    return quint32(std::clamp(v, 0, 255));
}

// An opaque pixel from three fixed-point channel values.
inline quint32 pixel(int r, int g, int b)
{
    return 0xff000000u | clamp8(r >> kFraction) << 16 | clamp8(g >> kFraction) << 8 | clamp8(b >> kFraction);
}

// Rows [from, to) of the picture reduced by `factor`: each pixel from the average samples of its
// block of the source (`size`), the blocks at the right and bottom edges smaller.
void reduce_rows(const YcbcrPlanes &p, const Factors &f, QSize size, int factor, uchar *bits,
                 qsizetype bytesPerLine, int width, int from, int to)
{
    const bool gray = !p.cb || !p.cr;
    std::vector<int> ySum(static_cast<size_t>(width)), cbSum(static_cast<size_t>(width)),
        crSum(static_cast<size_t>(width));
    const int sx = p.chromaShiftX, sy = p.chromaShiftY;
    for (int row = from; row < to; ++row) {
        const int y0 = row * factor, y1 = std::min(y0 + factor, size.height());
        std::fill(ySum.begin(), ySum.end(), 0);
        for (int yy = y0; yy < y1; ++yy) {
            const uint8_t *line = p.y + qsizetype(yy) * p.yStride;
            for (int ox = 0, x = 0; ox < width; ++ox) {
                const int x1 = std::min(x + factor, size.width());
                int sum = 0;
                for (; x < x1; ++x)
                    sum += line[x];
                ySum[size_t(ox)] += sum;
            }
        }
        const int cy0 = y0 >> sy, cy1 = ((y1 - 1) >> sy) + 1;
        if (!gray) {
            std::fill(cbSum.begin(), cbSum.end(), 0);
            std::fill(crSum.begin(), crSum.end(), 0);
            // Each chroma sample weighs as many of the block's pixels as it covers.
            for (int cy = cy0; cy < cy1; ++cy) {
                const int wy = std::min(y1, (cy + 1) << sy) - std::max(y0, cy << sy);
                const uint8_t *cbLine = p.cb + qsizetype(cy) * p.cbStride;
                const uint8_t *crLine = p.cr + qsizetype(cy) * p.crStride;
                for (int ox = 0; ox < width; ++ox) {
                    const int x0 = ox * factor, x1 = std::min(x0 + factor, size.width());
                    int b = 0, r = 0;
                    for (int cx = x0 >> sx; cx <= (x1 - 1) >> sx; ++cx) {
                        const int wx = std::min(x1, (cx + 1) << sx) - std::max(x0, cx << sx);
                        b += wx * cbLine[cx], r += wx * crLine[cx];
                    }
                    cbSum[size_t(ox)] += wy * b;
                    crSum[size_t(ox)] += wy * r;
                }
            }
        }
        // The averages keep kExtra more bits than the samples, so they are not rounded twice.
        constexpr int kExtra = 4;
        const auto average = [](int sum, int count) { return ((sum << kExtra) + count / 2) / count; };
        const int offset = f.yoff << kExtra, mid = 128 << kExtra, half = kHalf << kExtra;
        auto *px = reinterpret_cast<quint32 *>(bits + qsizetype(row) * bytesPerLine);
        for (int ox = 0; ox < width; ++ox) {
            const int x0 = ox * factor, x1 = std::min(x0 + factor, size.width());
            const int count = (x1 - x0) * (y1 - y0);
            const int yy = f.ys * (average(ySum[size_t(ox)], count) - offset) + half;
            if (gray) {
                const quint32 v = clamp8(yy >> (kFraction + kExtra));
                px[ox] = 0xff000000u | v << 16 | v << 8 | v;
                continue;
            }
            const int cb = average(cbSum[size_t(ox)], count), cr = average(crSum[size_t(ox)], count);
            int r = 0, g = 0, b = 0;
            if (f.gbr) {
                r = f.ys * (cr - offset) + half, g = yy, b = f.ys * (cb - offset) + half;
            } else {
                r = yy + f.rcr * (cr - mid);
                g = yy - f.gcb * (cb - mid) - f.gcr * (cr - mid);
                b = yy + f.bcb * (cb - mid);
            }
            px[ox] = 0xff000000u | clamp8(r >> (kFraction + kExtra)) << 16 |
                     clamp8(g >> (kFraction + kExtra)) << 8 | clamp8(b >> (kFraction + kExtra));
        }
    }
}

// Rows [from, to) of a picture `width` pixels wide whose rows start `bytesPerLine` apart at `bits`.
void convert_rows(const YcbcrPlanes &p, const Factors &f, uchar *bits, qsizetype bytesPerLine, int width,
                  int from, int to)
{
    for (int row = from; row < to; ++row) {
        const uint8_t *y = p.y + qsizetype(row) * p.yStride;
        auto *px = reinterpret_cast<quint32 *>(bits + qsizetype(row) * bytesPerLine);
        if (!p.cb || !p.cr) {
            for (int x = 0; x < width; ++x) {
                const quint32 v = clamp8((f.ys * (y[x] - f.yoff) + kHalf) >> kFraction);
                px[x] = 0xff000000u | v << 16 | v << 8 | v;
            }
            continue;
        }
        const uint8_t *cb = p.cb + qsizetype(row >> p.chromaShiftY) * p.cbStride;
        const uint8_t *cr = p.cr + qsizetype(row >> p.chromaShiftY) * p.crStride;
        const int sx = p.chromaShiftX;
        if (f.gbr) {
            for (int x = 0; x < width; ++x) {
                const int c = x >> sx;
                const quint32 r = clamp8((f.ys * (cr[c] - f.yoff) + kHalf) >> kFraction);
                const quint32 g = clamp8((f.ys * (y[x] - f.yoff) + kHalf) >> kFraction);
                const quint32 b = clamp8((f.ys * (cb[c] - f.yoff) + kHalf) >> kFraction);
                px[x] = 0xff000000u | r << 16 | g << 8 | b;
            }
            continue;
        }
        // The chroma terms once per chroma sample, for the one or two pixels that share it.
        const int step = 1 << sx;
        const int whole = width >> sx;
        for (int c = 0; c < whole; ++c) {
            const int u = cb[c] - 128, v = cr[c] - 128;
            const int red = f.rcr * v, green = f.gcb * u + f.gcr * v, blue = f.bcb * u;
            for (int k = 0; k < step; ++k) {
                const int x = c * step + k;
                const int yy = f.ys * (y[x] - f.yoff) + kHalf;
                px[x] = pixel(yy + red, yy - green, yy + blue);
            }
        }
        if (whole * step < width) { // the last column of an odd width
            const int x = width - 1;
            const int u = cb[whole] - 128, v = cr[whole] - 128;
            const int yy = f.ys * (y[x] - f.yoff) + kHalf;
            px[x] = pixel(yy + f.rcr * v, yy - f.gcb * u - f.gcr * v, yy + f.bcb * u);
        }
    }
}

// Rows of *out split into bands worked on side by side: up to `threads`, one per
// kPixelsPerThread of `work`. The rows are reached through one pointer taken here: scanLine()
// is not for several threads.
void split_rows(QImage *out, int threads, qint64 work,
                const std::function<void(uchar *, qsizetype, int, int)> &rows)
{
    const int height = out->height();
    const int parts = int(std::clamp<qint64>(std::min<qint64>(threads, work / kPixelsPerThread), 1,
                                             std::min(8, std::max(1, height))));
    uchar *bits = out->bits();
    const qsizetype bytesPerLine = out->bytesPerLine();
    std::vector<std::thread> helpers;
    const auto bound = [&](int part) { return int(qint64(height) * part / parts); };
    for (int part = 1; part < parts; ++part)
        helpers.emplace_back(rows, bits, bytesPerLine, bound(part), bound(part + 1));
    rows(bits, bytesPerLine, 0, bound(1));
    for (std::thread &t : helpers)
        t.join();
}

} // namespace

bool ycbcr_matrix_supported(int matrixCoefficients)
{
    Factors f;
    return factors_for(matrixCoefficients, true, &f);
}

bool ycbcr_to_rgb32(const YcbcrPlanes &planes, int matrixCoefficients, bool fullRange, QImage *out,
                    int threads)
{
    Factors f;
    if (!out || out->isNull() || !planes.y || out->format() != QImage::Format_RGB32 ||
        !factors_for(matrixCoefficients, fullRange, &f))
        return false;
    const int width = out->width();
    split_rows(out, threads, qint64(width) * out->height(),
               [&](uchar *bits, qsizetype bytesPerLine, int from, int to) {
                   convert_rows(planes, f, bits, bytesPerLine, width, from, to);
               });
    return true;
}

bool ycbcr_to_rgb32_reduced(const YcbcrPlanes &planes, QSize size, int factor, int matrixCoefficients,
                            bool fullRange, QImage *out, int threads)
{
    Factors f;
    if (!out || out->isNull() || !planes.y || out->format() != QImage::Format_RGB32 || factor < 1 ||
        factor > kMaxReduction || size.isEmpty() || out->size() != reduced_size(size, factor) ||
        !factors_for(matrixCoefficients, fullRange, &f))
        return false;
    const int width = out->width();
    split_rows(out, threads, qint64(size.width()) * size.height(),
               [&](uchar *bits, qsizetype bytesPerLine, int from, int to) {
                   reduce_rows(planes, f, size, factor, bits, bytesPerLine, width, from, to);
               });
    return true;
}

QSize reduced_size(QSize size, int factor)
{
    return factor < 1 ? QSize()
                      : QSize((size.width() + factor - 1) / factor, (size.height() + factor - 1) / factor);
}

} // namespace vorn
