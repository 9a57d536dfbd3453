#include "codecs/jxl_decoder.h"

#include "codecs/decoded_picture.h"
#include "codecs/image_memory.h"
#include "codecs/picture_colour.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_orientation.h"

#include <jxl/decode.h>
#include <jxl/thread_parallel_runner.h>

#include <memory>

namespace vorn
{

namespace
{

constexpr qsizetype kJxlStep = qsizetype(256) << 10;
constexpr size_t kJxlThreads = 2;

struct JxlFree {
    void operator()(JxlDecoder *d) const { JxlDecoderDestroy(d); }
};

struct RunnerFree {
    void operator()(void *r) const { JxlThreadParallelRunnerDestroy(r); }
};

// Gives the decoder the data step by step: the first step at once, the next one each time
// it asks for more. False when there is no more (the file is cut short) or a cancel came.
class JxlFeed
{
  public:
    JxlFeed(JxlDecoder *decoder, const QByteArray &data, const DecodeRequest &req)
        : decoder_(decoder), data_(data), req_(req)
    {
    }
    bool more()
    {
        if (given_ == data_.size() || is_cancelled(req_))
            return false;
        const qsizetype from = given_ - qsizetype(given_ ? JxlDecoderReleaseInput(decoder_) : 0);
        given_ = std::min(data_.size(), given_ + kJxlStep);
        if (JxlDecoderSetInput(decoder_, reinterpret_cast<const uint8_t *>(data_.constData()) + from,
                               size_t(given_ - from)) != JXL_DEC_SUCCESS)
            return false;
        if (given_ == data_.size())
            JxlDecoderCloseInput(decoder_);
        return true;
    }

  private:
    JxlDecoder *decoder_;
    const QByteArray &data_;
    const DecodeRequest &req_;
    qsizetype given_ = 0;
};

// The number of frames shown (frames without a duration are composited into the next), read
// from the frame headers without decoding pixels.
int count_frames(const QByteArray &data, const DecodeRequest &req)
{
    std::unique_ptr<JxlDecoder, JxlFree> decoder(JxlDecoderCreate(nullptr));
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_FRAME) != JXL_DEC_SUCCESS)
        return 0;
    JxlFeed feed(decoder.get(), data, req);
    if (!feed.more())
        return 0;
    int frames = 0;
    for (;;) {
        switch (JxlDecoderProcessInput(decoder.get())) {
        case JXL_DEC_FRAME:
            ++frames;
            break;
        case JXL_DEC_NEED_MORE_INPUT:
            if (!feed.more())
                return 0;
            break;
        case JXL_DEC_SUCCESS:
            return frames;
        default:
            return 0;
        }
    }
}

// Whether the decoded pixels are in sRGB already.
bool output_is_srgb(const JxlDecoder *decoder)
{
    JxlColorEncoding encoding;
    if (JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &encoding) !=
        JXL_DEC_SUCCESS)
        return false;
    return encoding.white_point == JXL_WHITE_POINT_D65 &&
           (encoding.color_space == JXL_COLOR_SPACE_GRAY ||
            (encoding.color_space == JXL_COLOR_SPACE_RGB && encoding.primaries == JXL_PRIMARIES_SRGB)) &&
           encoding.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// The profile of the decoded pixels, when they are not in sRGB.
QByteArray output_profile(const JxlDecoder *decoder)
{
    size_t size = 0;
    if (output_is_srgb(decoder) ||
        JxlDecoderGetICCProfileSize(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) !=
            JXL_DEC_SUCCESS ||
        size == 0 || size > (size_t(1) << 24))
        return QByteArray();
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (JxlDecoderGetColorAsICCProfile(decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                       reinterpret_cast<uint8_t *>(icc.data()), size) != JXL_DEC_SUCCESS)
        return QByteArray();
    return icc;
}

void ask_for_srgb(JxlDecoder *decoder, bool gray)
{
    JxlColorEncoding srgb{};
    srgb.color_space = gray ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
    srgb.white_point = JXL_WHITE_POINT_D65;
    srgb.primaries = JXL_PRIMARIES_SRGB;
    srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
    // Refused (and without effect) when the codestream keeps its original colours.
    JxlDecoderSetPreferredColorProfile(decoder, &srgb);
}

// The shown frames of an animation, one after the other; the data is given to the library
// whole (the animation plays from memory).
class JxlAnimation : public AnimationDecoder
{
  public:
    bool open(const QByteArray &data, qint64 maxPixels) override
    {
        data_ = data;
        frames_ = 0;
        frame_ = -1;
        if (!start(maxPixels))
            return false;
        const JxlBasicInfo &info = info_;
        if (!info.have_animation || info.animation.tps_numerator == 0 || info.animation.tps_denominator == 0)
            return false;
        // JPEG XL counts the plays (0: forever); played n times is n - 1 more.
        loops_ = info.animation.num_loops == 0
                     ? -1
                     : int(std::min<uint32_t>(info.animation.num_loops, INT_MAX)) - 1;
        frames_ = count_frames(data_, DecodeRequest());
        maxPixels_ = maxPixels;
        return frames_ > 0;
    }
    QSize size() const override { return size_; }
    int frameCount() const override { return frames_; }
    int loopCount() const override { return loops_; }
    int currentFrame() const override { return frame_; }
    bool next(QImage *frame, int *delayMs) override
    {
        if (!decoder_ || frame_ + 1 >= frames_)
            return false;
        QImage image;
        uint32_t ticks = 0;
        for (;;) {
            switch (JxlDecoderProcessInput(decoder_.get())) {
            case JXL_DEC_FRAME: {
                JxlFrameHeader header;
                if (JxlDecoderGetFrameHeader(decoder_.get(), &header) != JXL_DEC_SUCCESS)
                    return fail();
                ticks = header.duration;
                break;
            }
            case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
                image = QImage(size_, alpha_ ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
                JxlPixelFormat out{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, size_t(image.bytesPerLine())};
                size_t needed = 0;
                if (image.isNull() ||
                    JxlDecoderImageOutBufferSize(decoder_.get(), &out, &needed) != JXL_DEC_SUCCESS ||
                    needed > size_t(image.sizeInBytes()) ||
                    JxlDecoderSetImageOutBuffer(decoder_.get(), &out, image.bits(),
                                                size_t(image.sizeInBytes())) != JXL_DEC_SUCCESS)
                    return fail();
                break;
            }
            case JXL_DEC_FULL_IMAGE: {
                if (image.isNull())
                    return fail();
                convert_icc_to_srgb(&image, icc_);
                to_display_format(&image, alpha_);
                const qint64 ms =
                    qint64(ticks) * 1000 * info_.animation.tps_denominator / info_.animation.tps_numerator;
                // Browsers show delays of 10 ms and less as 100 ms, as for GIF.
                *delayMs = ms <= 10 ? 100 : int(std::min<qint64>(ms, INT_MAX));
                *frame = std::move(image);
                ++frame_;
                return true;
            }
            default: // the end, or damaged data
                return fail();
            }
        }
    }
    void rewind() override
    {
        frame_ = -1;
        if (frames_ > 0 && !start(maxPixels_))
            decoder_.reset();
    }

  private:
    bool fail()
    {
        decoder_.reset();
        return false;
    }
    // A fresh decoder over the data, read up to the colour encoding.
    bool start(qint64 maxPixels)
    {
        decoder_.reset(JxlDecoderCreate(nullptr));
        JxlDecoder *decoder = decoder_.get();
        if (!decoder ||
            JxlDecoderSubscribeEvents(decoder, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME |
                                                   JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
            JxlDecoderSetInput(decoder, reinterpret_cast<const uint8_t *>(data_.constData()),
                               size_t(data_.size())) != JXL_DEC_SUCCESS)
            return fail();
        JxlDecoderCloseInput(decoder);
        for (;;) {
            switch (JxlDecoderProcessInput(decoder)) {
            case JXL_DEC_BASIC_INFO: {
                if (JxlDecoderGetBasicInfo(decoder, &info_) != JXL_DEC_SUCCESS || info_.xsize > INT_MAX ||
                    info_.ysize > INT_MAX)
                    return fail();
                // Checked before the library allocates anything of the canvas's size.
                size_ = oriented_size(QSize(int(info_.xsize), int(info_.ysize)), int(info_.orientation));
                if (!within_pixels(size_, maxPixels))
                    return fail();
                alpha_ = info_.alpha_bits > 0;
                break;
            }
            case JXL_DEC_COLOR_ENCODING:
                ask_for_srgb(decoder, info_.num_color_channels == 1);
                icc_ = output_profile(decoder);
                return true;
            default:
                return fail();
            }
        }
    }

    QByteArray data_; // the decoder reads from these bytes while it lives
    std::unique_ptr<JxlDecoder, JxlFree> decoder_;
    JxlBasicInfo info_{};
    QByteArray icc_;
    QSize size_;
    bool alpha_ = false;
    qint64 maxPixels_ = 0;
    int frames_ = 0;
    int loops_ = 0;
    int frame_ = -1;
};

} // namespace

QSize probe_jxl_size(const QByteArray &head)
{
    std::unique_ptr<JxlDecoder, JxlFree> decoder(JxlDecoderCreate(nullptr));
    JxlBasicInfo info{};
    if (!decoder || JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t *>(head.constData()),
                           size_t(head.size())) != JXL_DEC_SUCCESS ||
        JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS || info.xsize > INT_MAX ||
        info.ysize > INT_MAX)
        return QSize();
    return oriented_size(QSize(int(info.xsize), int(info.ysize)), int(info.orientation));
}

LoadedPicture decode_jxl(const QByteArray &data, const DecodeRequest &req)
{
    LoadedPicture result;
    result.kind = PictureKind::Jxl;
    if (data.isEmpty())
        return result;
    reuse_freed_memory();
    std::unique_ptr<JxlDecoder, JxlFree> holder(JxlDecoderCreate(nullptr));
    std::unique_ptr<void, RunnerFree> runner(JxlThreadParallelRunnerCreate(nullptr, kJxlThreads));
    JxlDecoder *decoder = holder.get();
    if (!decoder || !runner ||
        JxlDecoderSetParallelRunner(decoder, JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS ||
        JxlDecoderSubscribeEvents(decoder, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE |
                                               JXL_DEC_FRAME_PROGRESSION) != JXL_DEC_SUCCESS)
        return result;
    JxlFeed feed(decoder, data, req);
    if (!feed.more())
        return result;
    JxlBasicInfo info{};
    QSize shown;
    bool alpha = false;
    bool fromDc = false; // a picture far smaller than shown needs no more than the DC image
    QImage image;
    QByteArray icc;
    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    for (bool done = false; !done;) {
        switch (JxlDecoderProcessInput(decoder)) {
        case JXL_DEC_NEED_MORE_INPUT:
            if (!feed.more())
                return result;
            break;
        case JXL_DEC_BASIC_INFO: {
            if (JxlDecoderGetBasicInfo(decoder, &info) != JXL_DEC_SUCCESS)
                return result;
            const QSize stored(int(std::min<uint32_t>(info.xsize, INT_MAX)),
                               int(std::min<uint32_t>(info.ysize, INT_MAX)));
            if (!within_pixels(stored, req.maxPixels))
                return result;
            // The library turns the picture upright by its orientation as it decodes.
            result.naturalSize = oriented_size(stored, int(info.orientation));
            result.frameCount = info.have_animation ? std::max(1, count_frames(data, req)) : 1;
            shown = requested_size(req, result.naturalSize);
            if (shown.isValid() && shown.isEmpty()) {
                result.ok = true;
                return result;
            }
            // The 1/8 image is all a picture shown at an eighth or less needs; as a coarse first
            // look it stands in up to a quarter (enlarged at most twice).
            const auto reducedBy = [&](qint64 factor) {
                return shown.isValid() && shown.width() * factor <= result.naturalSize.width() &&
                       shown.height() * factor <= result.naturalSize.height();
            };
            fromDc = reducedBy(8) || (req.coarseFirst && reducedBy(4));
            result.coarse = fromDc && !reducedBy(8);
            alpha = info.alpha_bits > 0;
            if (info.have_animation && req.middleFrame)
                JxlDecoderSkipFrames(decoder, size_t(still_frame_index(req, result.frameCount, stored)));
            break;
        }
        case JXL_DEC_COLOR_ENCODING:
            ask_for_srgb(decoder, info.num_color_channels == 1);
            icc = output_profile(decoder);
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            size_t needed = 0;
            image = large_image(result.naturalSize.width(), result.naturalSize.height(),
                                alpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
            JxlPixelFormat out = format;
            out.align = size_t(image.bytesPerLine());
            if (image.isNull() || JxlDecoderImageOutBufferSize(decoder, &out, &needed) != JXL_DEC_SUCCESS ||
                needed > size_t(image.sizeInBytes()) ||
                JxlDecoderSetImageOutBuffer(decoder, &out, image.bits(), size_t(image.sizeInBytes())) !=
                    JXL_DEC_SUCCESS)
                return result;
            break;
        }
        case JXL_DEC_FRAME_PROGRESSION:
            // The DC image, upsampled to the full size by the library.
            if (fromDc && JxlDecoderGetIntendedDownsamplingRatio(decoder) <= 8 &&
                JxlDecoderFlushImage(decoder) == JXL_DEC_SUCCESS)
                done = true;
            break;
        case JXL_DEC_FULL_IMAGE:
        case JXL_DEC_SUCCESS:
            result.coarse = false; // a codestream without a separate 1/8 image gave all of it
            done = true;
            break;
        default:
            return result;
        }
    }
    if (image.isNull() || is_cancelled(req))
        return result;
    image = fit_to(image, shown);
    convert_icc_to_srgb(&image, icc);
    to_display_format(&image, alpha);
    result.image = image;
    result.ok = !result.image.isNull();
    return result;
}

std::unique_ptr<AnimationDecoder> make_jxl_animation()
{
    return std::make_unique<JxlAnimation>();
}

} // namespace vorn
