#include "codecs/box_reducer.h"

#include <algorithm>

namespace vorn
{

BoxReducer::BoxReducer(int width, int height, int factor, int pixelBytes, QImage::Format format,
                       Convert convert)
    : width_(width), height_(height), factor_(std::clamp(factor, 1, kMaxBoxFactor)),
      pixelBytes_(std::clamp(pixelBytes, 1, 4)), convert_(std::move(convert))
{
    if (width <= 0 || height <= 0 || !convert_)
        return;
    out_ = QImage((width + factor_ - 1) / factor_, (height + factor_ - 1) / factor_, format);
    if (out_.isNull())
        return;
    sums_.assign(size_t(width) * size_t(pixelBytes_), 0);
    average_.assign(size_t(out_.width()) * size_t(pixelBytes_), 0);
}

uchar *BoxReducer::rows(int count)
{
    const size_t needed = size_t(std::max(count, 0)) * size_t(width_) * size_t(pixelBytes_);
    if (band_.size() < needed)
        band_.resize(needed);
    return band_.data();
}

void BoxReducer::rowsDone(int count)
{
    if (out_.isNull())
        return;
    // Column sums first, byte by byte: a loop the compiler turns into vector adds; the
    // columns are summed once per block of rows.
    const size_t bytes = sums_.size();
    for (int r = 0; r < count && y_ < height_; ++r, ++y_) {
        const uchar *in = band_.data() + size_t(r) * bytes;
        quint16 *sum = sums_.data();
        for (size_t i = 0; i < bytes; ++i)
            sum[i] = quint16(sum[i] + in[i]);
        if (++inBlock_ == factor_ || y_ + 1 == height_)
            flush();
    }
}

void BoxReducer::flush()
{
    const quint16 *sum = sums_.data();
    uchar *out = average_.data();
    quint64 n = 0, half = 0, reciprocal = 0;
    for (int ox = 0; ox < out_.width(); ++ox, out += pixelBytes_) {
        const int columns = std::min(width_ - ox * factor_, factor_);
        quint32 total[4] = {};
        for (int x = 0; x < columns; ++x, sum += pixelBytes_)
            for (int c = 0; c < pixelBytes_; ++c)
                total[c] += sum[c];
        // Divided by the block's pixel count through its reciprocal: exact for these sums.
        if (quint64(columns) * quint64(inBlock_) != n) {
            n = quint64(columns) * quint64(inBlock_);
            half = n / 2;
            reciprocal = ((quint64(1) << 32) + n - 1) / n;
        }
        for (int c = 0; c < pixelBytes_; ++c)
            out[c] = uchar(((total[c] + half) * reciprocal) >> 32);
    }
    convert_(average_.data(), reinterpret_cast<QRgb *>(out_.scanLine(y_ / factor_)), out_.width());
    std::fill(sums_.begin(), sums_.end(), quint16(0));
    inBlock_ = 0;
}

int box_factor(QSize stored, QSize shown)
{
    if (shown.width() <= 0 || shown.height() <= 0)
        return 1;
    const int factor = std::min(stored.width() / shown.width(), stored.height() / shown.height());
    return std::clamp(factor, 1, kMaxBoxFactor);
}

} // namespace vorn
