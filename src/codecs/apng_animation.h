// Animated PNG (APNG) through FFmpeg's apng demuxer and decoder: the system's libpng reads only
// the default image. The bytes are read from memory (never a file name or URL), each frame comes
// composited on the canvas by the decoder (dispose and blend applied), with its delay from the
// frame control chunk and the loop count of the animation control chunk, played by the same
// rules as GIF (delays of 10 ms and less as 100 ms). A profile (iCCP) is converted to sRGB
// frame by frame; gAMA and cHRM are not applied to the frames (they are taken as sRGB).
#pragma once

#include "codecs/picture_types.h"

#include <memory>

namespace vorn
{

// The animation control chunk (acTL) before the image data; frames 0 for a still PNG.
struct PngAnimationInfo {
    int frames = 0;
    int plays = 0; // 0: forever
};
PngAnimationInfo png_animation_info(const QByteArray &data);

class ApngAnimation : public AnimationDecoder
{
  public:
    ApngAnimation();
    ~ApngAnimation() override;
    ApngAnimation(const ApngAnimation &) = delete;
    ApngAnimation &operator=(const ApngAnimation &) = delete;

    bool open(const QByteArray &data, qint64 maxPixels) override;
    QSize size() const override { return size_; }
    int frameCount() const override { return frames_; }
    int loopCount() const override { return loops_; }
    int currentFrame() const override { return frame_; }
    bool next(QImage *frame, int *delayMs) override;
    void rewind() override;

  private:
    struct Context;
    bool start();

    QByteArray data_;
    qint64 maxPixels_ = 0;
    std::unique_ptr<Context> ctx_;
    QSize size_;
    int frames_ = 0;
    int loops_ = 0;
    int frame_ = -1;
};

std::unique_ptr<AnimationDecoder> make_apng_animation();

} // namespace vorn
