#include "codecs/gif_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vorn
{

namespace
{

quint16 le16(const uchar *p)
{
    return quint16(p[0] | p[1] << 8);
}

// The row of the picture that the n-th decoded row of an interlaced image fills: every 8th row
// from 0, every 8th from 4, every 4th from 2, then every 2nd from 1.
int interlaced_row(int n, int h)
{
    const int pass1 = (h + 7) / 8, pass2 = (h + 3) / 8, pass3 = (h + 1) / 4;
    if (n < pass1)
        return n * 8;
    n -= pass1;
    if (n < pass2)
        return 4 + n * 8;
    n -= pass2;
    if (n < pass3)
        return 2 + n * 4;
    return 1 + (n - pass3) * 2;
}

// Reads LZW codes from the image's sub-blocks.
class CodeReader
{
  public:
    CodeReader(const uchar *p, qsizetype n, qsizetype pos) : p_(p), n_(n), pos_(pos) {}
    // False when the data sub-blocks end.
    bool read(int bits, int *code)
    {
        while (count_ < bits) {
            if (left_ == 0) {
                if (pos_ >= n_ || p_[pos_] == 0)
                    return false;
                left_ = p_[pos_++];
            }
            if (pos_ >= n_)
                return false;
            acc_ |= quint32(p_[pos_++]) << count_;
            count_ += 8;
            --left_;
        }
        *code = int(acc_ & ((1u << bits) - 1));
        acc_ >>= bits;
        count_ -= bits;
        return true;
    }

  private:
    const uchar *p_;
    qsizetype n_;
    qsizetype pos_;
    int left_ = 0; // bytes left in the current sub-block
    quint32 acc_ = 0;
    int count_ = 0;
};

} // namespace

bool GifDecoder::open(const QByteArray &data, qint64 maxPixels)
{
    *this = GifDecoder();
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype n = data.size();
    if (n < 13 || memcmp(p, "GIF8", 4) != 0 || (p[4] != '7' && p[4] != '9') || p[5] != 'a')
        return false;
    int width = le16(p + 6), height = le16(p + 8);
    qsizetype pos = 13;
    if (p[10] & 0x80) {
        const int count = 2 << (p[10] & 7);
        if (pos + 3 * count > n)
            return false;
        for (int i = 0; i < count; ++i)
            global_.push_back(qRgb(p[pos + 3 * i], p[pos + 3 * i + 1], p[pos + 3 * i + 2]));
        pos += 3 * count;
    }
    // Sub-blocks up to their terminator; false when the file ends inside them.
    auto skipSubBlocks = [&]() {
        while (pos < n) {
            const int len = p[pos++];
            if (len == 0)
                return true;
            pos += len;
        }
        return false;
    };
    Image pending;
    qint64 paintable = 0; // pixels all image data together can paint at most
    while (pos < n) {
        const uchar tag = p[pos++];
        if (tag == 0x3B)
            break;
        if (tag == 0x21) {
            if (pos >= n)
                return false;
            const uchar label = p[pos++];
            const qsizetype first = pos;
            if (!skipSubBlocks())
                return false;
            const int len = p[first];
            if (label == 0xF9 && len >= 4) { // graphic control
                const uchar packed = p[first + 1];
                pending.disposal = (packed >> 2) & 7;
                pending.delayCs = le16(p + first + 2);
                pending.transparent = packed & 1 ? p[first + 4] : -1;
            } else if (label == 0xFF && len == 11 &&
                       (memcmp(p + first + 1, "NETSCAPE2.0", 11) == 0 ||
                        memcmp(p + first + 1, "ANIMEXTS1.0", 11) == 0) &&
                       first + 12 + 3 < pos && p[first + 12] >= 3 && p[first + 13] == 1) {
                const int count = le16(p + first + 14);
                loops_ = count == 0 ? -1 : count;
            }
        } else if (tag == 0x2C) {
            if (pos + 9 > n)
                return false;
            Image image = pending;
            pending = Image();
            image.at = pos;
            const uchar flags = p[pos + 8];
            if (images_.empty() && (width == 0 || height == 0)) {
                // No logical screen given: the first image sets it.
                width = le16(p + pos) + le16(p + pos + 4);
                height = le16(p + pos + 2) + le16(p + pos + 6);
            }
            pos += 9;
            if (flags & 0x80)
                pos += 3 * (2 << (flags & 7));
            if (pos >= n)
                return false;
            const int codeBits = std::clamp(int(p[pos++]), 1, 11) + 1; // LZW minimum code size, plus one
            const qsizetype dataStart = pos;
            if (!skipSubBlocks())
                return false;
            // Each code yields at most 4096 pixels.
            paintable += qint64(pos - dataStart) * 8 / codeBits * 4096;
            images_.push_back(image);
        } else if (!images_.empty()) {
            break; // garbage after the last image: what came before is whole
        } else {
            return false;
        }
    }
    // A file may end at a block boundary without its trailer byte; a block cut short fails above.
    // A screen larger than all its image data could ever paint is refused (a few bytes must not
    // become hundreds of megabytes of canvas), as is one above the pixel limit.
    const qint64 pixels = qint64(width) * height;
    if (images_.empty() || width <= 0 || height <= 0 || pixels > maxPixels || pixels > paintable)
        return false;
    // Every image is a frame of its own, also one without a delay (played as 100 ms, as
    // browsers do): GIF87a animations and animations without delays have no other frames.
    for (int i = 0; i < int(images_.size()); ++i)
        frameEnds_.push_back(i);
    screen_ = QSize(width, height);
    canvas_ = QImage(screen_, QImage::Format_ARGB32);
    if (canvas_.isNull())
        return false;
    canvas_.fill(0);
    data_ = data;
    data_.detach(); // the caller's bytes may be a raw view
    return true;
}

void GifDecoder::draw(const Image &image)
{
    const auto *p = reinterpret_cast<const uchar *>(data_.constData());
    const qsizetype n = data_.size();
    qsizetype pos = image.at;
    const int left = le16(p + pos), top = le16(p + pos + 2), w = le16(p + pos + 4), h = le16(p + pos + 6);
    const uchar flags = p[pos + 8];
    pos += 9;
    // Indexes past the colour table are black.
    std::array<QRgb, 4096> colours;
    colours.fill(qRgb(0, 0, 0));
    if (flags & 0x80) {
        const int count = 2 << (flags & 7);
        for (int i = 0; i < count; ++i)
            colours[size_t(i)] = qRgb(p[pos + 3 * i], p[pos + 3 * i + 1], p[pos + 3 * i + 2]);
        pos += 3 * count;
    } else {
        std::copy(global_.begin(), global_.end(), colours.begin());
    }
    const bool interlaced = flags & 0x40;
    const int minCode = p[pos++];
    if (minCode < 1 || minCode > 11 || w == 0 || h == 0)
        return;

    const qint64 total = qint64(w) * h;
    qint64 done = 0;
    auto put = [&](int index) {
        const int row = int(done / w), x = int(done % w);
        ++done;
        const int y = top + (interlaced ? interlaced_row(row, h) : row);
        const int cx = left + x;
        // Pixels outside the logical screen are dropped.
        if (index != image.transparent && cx < screen_.width() && y < screen_.height())
            reinterpret_cast<QRgb *>(canvas_.scanLine(y))[cx] = colours[size_t(index)];
    };

    // LZW: codes from minCode + 1 up to 12 bits; a missing or invalid code ends the image and
    // leaves the rest of it as it was, as browsers do.
    std::array<quint16, 4096> prefix;
    std::array<quint16, 4096> suffix;
    std::array<quint16, 4097> stack;
    const int clear = 1 << minCode, end = clear + 1;
    int codeSize = minCode + 1, next = clear + 2, prev = -1, first = 0;
    CodeReader reader(p, n, pos);
    int code = 0;
    while (done < total && reader.read(codeSize, &code)) {
        if (code == clear) {
            codeSize = minCode + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == end)
            break;
        if (prev < 0) {
            if (code >= clear)
                break;
            put(code);
            prev = first = code;
            continue;
        }
        if (code > next || (code == next && next >= 4096))
            break;
        const int in = code;
        size_t depth = 0;
        if (code == next) {
            stack[depth++] = quint16(first);
            code = prev;
        }
        while (code >= clear) {
            stack[depth++] = suffix[size_t(code)];
            code = prefix[size_t(code)];
        }
        first = code;
        stack[depth++] = quint16(first);
        while (depth > 0 && done < total)
            put(stack[--depth]);
        if (next < 4096) {
            prefix[size_t(next)] = quint16(prev);
            suffix[size_t(next)] = quint16(first);
            ++next;
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
        }
        prev = in;
    }
}

void GifDecoder::dispose(const Image &image, const QImage &before)
{
    if (image.disposal == 2) { // restore to background: browsers clear to transparent
        const auto *p = reinterpret_cast<const uchar *>(data_.constData()) + image.at;
        const QRect area = QRect(le16(p), le16(p + 2), le16(p + 4), le16(p + 6)) & canvas_.rect();
        for (int y = area.top(); y <= area.bottom(); ++y)
            std::fill_n(reinterpret_cast<QRgb *>(canvas_.scanLine(y)) + area.left(), area.width(), QRgb(0));
    } else if (image.disposal == 3) { // restore to previous
        canvas_ = before;
    }
}

bool GifDecoder::next(QImage *frame, int *delayMs)
{
    while (nextImage_ < int(images_.size())) {
        const Image &image = images_[size_t(nextImage_)];
        QImage before;
        if (image.disposal == 3)
            before = canvas_.copy();
        draw(image);
        const bool shown = frameEnds_[size_t(frame_ + 1)] == nextImage_;
        ++nextImage_;
        if (shown) {
            *frame = canvas_;
            // Browsers show delays of 10 ms and less (or none, on the last image) as 100 ms.
            *delayMs = image.delayCs <= 1 ? 100 : image.delayCs * 10;
            ++frame_;
            dispose(image, before);
            return true;
        }
        dispose(image, before);
    }
    return false;
}

void GifDecoder::rewind()
{
    if (canvas_.isNull())
        return;
    canvas_ = QImage(screen_, QImage::Format_ARGB32);
    canvas_.fill(0);
    nextImage_ = 0;
    frame_ = -1;
}

} // namespace vorn
