#include "codecs/picture_shrink.h"

#include "codecs/image_memory.h"

#include <cstdint>
#include <vector>

namespace vorn
{

namespace
{

// Weights in 1/16384.
constexpr int kWeightBits = 14;

// How the `from` source pixels of one direction fall into `to` result pixels (to <= from): for
// result pixel k, the source pixels first[k] .. first[k] + count[k] - 1 with their weights,
// which add up to exactly 1 << kWeightBits. Source pixel i covers [i * to, (i + 1) * to) and
// result pixel k covers [k * from, (k + 1) * from) on a common integer axis.
struct Spans {
    std::vector<int> first, count, offset;
    std::vector<uint32_t> weight;
};

Spans spans(int from, int to)
{
    Spans s;
    s.first.resize(size_t(to));
    s.count.resize(size_t(to));
    s.offset.resize(size_t(to));
    for (int k = 0; k < to; ++k) {
        const int64_t begin = int64_t(k) * from, end = begin + from;
        const int i0 = int(begin / to), i1 = int((end - 1) / to);
        s.first[size_t(k)] = i0;
        s.count[size_t(k)] = i1 - i0 + 1;
        s.offset[size_t(k)] = int(s.weight.size());
        // Rounded running sums, so the weights add up exactly.
        int64_t covered = 0;
        uint32_t given = 0;
        for (int i = i0; i <= i1; ++i) {
            covered +=
                std::min<int64_t>(end, int64_t(i + 1) * to) - std::max<int64_t>(begin, int64_t(i) * to);
            const auto upTo = uint32_t((covered * (1 << kWeightBits) + from / 2) / from);
            s.weight.push_back(upTo - given);
            given = upTo;
        }
    }
    return s;
}

// One source row reduced across: four channels per result pixel, in 1/256 steps (at most
// 255 * 256, so a sum of rows weighted in 1/16384 stays within 32 bits).
void shrink_row(const uchar *src, const Spans &h, int width, uint32_t *out)
{
    for (int x = 0; x < width; ++x) {
        const uchar *p = src + size_t(h.first[size_t(x)]) * 4;
        const uint32_t *w = h.weight.data() + h.offset[size_t(x)];
        uint32_t c0 = 0, c1 = 0, c2 = 0, c3 = 0;
        for (int i = 0, n = h.count[size_t(x)]; i < n; ++i, p += 4) {
            c0 += p[0] * w[i];
            c1 += p[1] * w[i];
            c2 += p[2] * w[i];
            c3 += p[3] * w[i];
        }
        constexpr int shift = kWeightBits - 8;
        constexpr uint32_t half = 1u << (shift - 1);
        out[4 * x] = (c0 + half) >> shift;
        out[4 * x + 1] = (c1 + half) >> shift;
        out[4 * x + 2] = (c2 + half) >> shift;
        out[4 * x + 3] = (c3 + half) >> shift;
    }
}

} // namespace

QImage shrink_image(const QImage &source, QSize size)
{
    // Four bytes a pixel, each a channel averaged on its own: opaque or premultiplied.
    const QImage::Format format = source.format();
    const bool ownFormat = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied ||
                           format == QImage::Format_RGBX8888 ||
                           format == QImage::Format_RGBA8888_Premultiplied;
    if (size.isEmpty() || source.isNull() || !ownFormat || size.width() > source.width() ||
        size.height() > source.height())
        return source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (size == source.size())
        return source;
    QImage result = large_image(size.width(), size.height(), source.format());
    if (result.isNull())
        return result;
    const int dw = size.width(), dh = size.height();
    const Spans h = spans(source.width(), dw), v = spans(source.height(), dh);
    const size_t channels = size_t(dw) * 4;
    std::vector<uint32_t> row(channels), acc(channels);
    int rowOf = -1; // the source row held in `row`
    for (int y = 0; y < dh; ++y) {
        std::fill(acc.begin(), acc.end(), 0u);
        const uint32_t *w = v.weight.data() + v.offset[size_t(y)];
        for (int i = 0, n = v.count[size_t(y)]; i < n; ++i) {
            const int sy = v.first[size_t(y)] + i;
            if (sy != rowOf) { // a row shared by two result rows is reduced once
                shrink_row(source.constScanLine(sy), h, dw, row.data());
                rowOf = sy;
            }
            for (size_t c = 0; c < channels; ++c)
                acc[c] += row[c] * w[i];
        }
        uchar *out = result.scanLine(y);
        constexpr uint32_t half = 1u << (kWeightBits + 8 - 1);
        for (size_t c = 0; c < channels; ++c)
            out[c] = uchar((acc[c] + half) >> (kWeightBits + 8));
    }
    return result;
}

} // namespace vorn
