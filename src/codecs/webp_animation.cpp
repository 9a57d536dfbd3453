#include "codecs/webp_animation.h"

#include "codecs/decoded_picture.h"
#include "codecs/picture_kinds.h"

#include <webp/decode.h>
#include <webp/demux.h>

namespace vorn
{

WebpAnimation::WebpAnimation() = default;

WebpAnimation::~WebpAnimation()
{
    close();
}

void WebpAnimation::close()
{
    if (decoder_)
        WebPAnimDecoderDelete(decoder_);
    decoder_ = nullptr;
    frames_ = 0;
    frame_ = -1;
    lastTimestamp_ = 0;
}

bool WebpAnimation::open(const QByteArray &data, qint64 maxPixels)
{
    close();
    data_ = data;
    const auto *bytes = reinterpret_cast<const uint8_t *>(data_.constData());
    // The canvas size from the header, checked before the decoder allocates two canvases.
    WebPBitstreamFeatures features;
    if (data_.isEmpty() || WebPGetFeatures(bytes, size_t(data_.size()), &features) != VP8_STATUS_OK ||
        !within_pixels(QSize(features.width, features.height), maxPixels))
        return false;
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return false;
    options.color_mode = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? MODE_bgrA : MODE_Argb;
    options.use_threads = 0;
    const WebPData webp{bytes, size_t(data_.size())};
    decoder_ = WebPAnimDecoderNew(&webp, &options);
    WebPAnimInfo info;
    if (!decoder_ || !WebPAnimDecoderGetInfo(decoder_, &info) || info.frame_count == 0 ||
        !within_pixels(QSize(int(info.canvas_width), int(info.canvas_height)), maxPixels)) {
        close();
        return false;
    }
    size_ = QSize(int(info.canvas_width), int(info.canvas_height));
    frames_ = int(info.frame_count);
    // WebP counts the plays (0: forever); played n times is n - 1 more.
    loops_ = info.loop_count == 0 ? -1 : int(info.loop_count) - 1;
    return true;
}

bool WebpAnimation::next(QImage *frame, int *delayMs)
{
    if (!decoder_ || !WebPAnimDecoderHasMoreFrames(decoder_))
        return false;
    uint8_t *pixels = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder_, &pixels, &timestamp))
        return false;
    // The canvas belongs to the decoder and changes with the next frame: keep a copy.
    *frame = QImage(pixels, size_.width(), size_.height(), qsizetype(size_.width()) * 4,
                    QImage::Format_ARGB32_Premultiplied)
                 .copy();
    if (frame->isNull())
        return false;
    const int delay = timestamp - lastTimestamp_;
    lastTimestamp_ = timestamp;
    // Browsers show delays of 10 ms and less as 100 ms, as for GIF.
    *delayMs = delay <= 10 ? 100 : delay;
    ++frame_;
    return true;
}

void WebpAnimation::rewind()
{
    if (decoder_)
        WebPAnimDecoderReset(decoder_);
    frame_ = -1;
    lastTimestamp_ = 0;
}

std::unique_ptr<AnimationDecoder> make_webp_animation()
{
    return std::make_unique<WebpAnimation>();
}

} // namespace vorn
