// Animated WebP through libwebp's animation decoder: every frame composited on the canvas
// (premultiplied ARGB32) with the file's frame count, loop count and delays, played by the
// same rules as GIF (delays of 10 ms and less as 100 ms).
#pragma once

#include "codecs/picture_types.h"

#include <memory>

struct WebPAnimDecoder;

namespace vorn
{

class WebpAnimation : public AnimationDecoder
{
  public:
    WebpAnimation();
    ~WebpAnimation() override;
    WebpAnimation(const WebpAnimation &) = delete;
    WebpAnimation &operator=(const WebpAnimation &) = delete;

    bool open(const QByteArray &data, qint64 maxPixels) override;
    QSize size() const override { return size_; }
    int frameCount() const override { return frames_; }
    int loopCount() const override { return loops_; }
    int currentFrame() const override { return frame_; }
    bool next(QImage *frame, int *delayMs) override;
    void rewind() override;

  private:
    void close();

    QByteArray data_; // the decoder reads from these bytes while it lives
    WebPAnimDecoder *decoder_ = nullptr;
    QSize size_;
    int frames_ = 0;
    int loops_ = 0;
    int frame_ = -1;
    int lastTimestamp_ = 0;
};

std::unique_ptr<AnimationDecoder> make_webp_animation();

} // namespace vorn
