#include "codecs/apng_animation.h"

#include "codecs/picture_colour.h"
#include "codecs/picture_kinds.h"

#include <QtEndian>

#include <cstring>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace vorn
{

namespace
{

constexpr int kIoBufferBytes = 32 << 10;

// The bytes libavformat reads, with the reader's position.
struct MemorySource {
    const QByteArray *data = nullptr;
    qint64 at = 0;
};

extern "C" int read_memory(void *opaque, uint8_t *buffer, int size)
{
    auto *src = static_cast<MemorySource *>(opaque);
    const qint64 left = src->data->size() - src->at;
    if (left <= 0)
        return AVERROR_EOF;
    const int n = int(std::min<qint64>(left, size));
    memcpy(buffer, src->data->constData() + src->at, size_t(n));
    src->at += n;
    return n;
}

extern "C" int64_t seek_memory(void *opaque, int64_t offset, int whence)
{
    auto *src = static_cast<MemorySource *>(opaque);
    const qint64 size = src->data->size();
    if (whence & AVSEEK_SIZE)
        return size;
    qint64 to = offset;
    switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
        break;
    case SEEK_CUR:
        to += src->at;
        break;
    case SEEK_END:
        to += size;
        break;
    default:
        return -1;
    }
    if (to < 0 || to > size)
        return -1;
    src->at = to;
    return to;
}

} // namespace

PngAnimationInfo png_animation_info(const QByteArray &data)
{
    // Signature, then chunks (length, type, data, CRC); acTL must come before the first IDAT.
    PngAnimationInfo info;
    if (data.size() < 8 || memcmp(data.constData(), "\x89PNG\r\n\x1a\n", 8) != 0)
        return info;
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    for (qint64 at = 8; at + 8 <= data.size();) {
        const quint32 length = qFromBigEndian<quint32>(p + at);
        if (!memcmp(p + at + 4, "IDAT", 4) || length > 0x7fffffff)
            break;
        if (!memcmp(p + at + 4, "acTL", 4)) {
            if (length != 8 || at + 16 > data.size())
                break;
            info.frames = int(std::min<quint32>(qFromBigEndian<quint32>(p + at + 8), 0x7fffffff));
            info.plays = int(std::min<quint32>(qFromBigEndian<quint32>(p + at + 12), 0x7fffffff));
            break;
        }
        at += 12 + qint64(length);
    }
    return info;
}

// The demuxer, decoder and converter of one pass through the frames.
struct ApngAnimation::Context {
    MemorySource source;
    AVIOContext *io = nullptr;
    AVFormatContext *format = nullptr;
    AVCodecContext *codec = nullptr;
    AVPacket *packet = nullptr;
    AVFrame *frame = nullptr;
    SwsContext *convert = nullptr;
    AVRational timeBase{1, 100000};
    bool drained = false;

    ~Context()
    {
        sws_freeContext(convert);
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format); // leaves the custom reader alone
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};

ApngAnimation::ApngAnimation() = default;
ApngAnimation::~ApngAnimation() = default;

bool ApngAnimation::open(const QByteArray &data, qint64 maxPixels)
{
    ctx_.reset();
    frame_ = -1;
    frames_ = 0;
    data_ = data;
    maxPixels_ = maxPixels;
    const PngAnimationInfo info = png_animation_info(data_);
    if (info.frames < 1 || data_.size() < 33 || memcmp(data_.constData() + 12, "IHDR", 4) != 0)
        return false;
    // The canvas size from IHDR, checked before the decoder allocates anything of its size.
    const auto *p = reinterpret_cast<const uchar *>(data_.constData());
    const quint32 w = qFromBigEndian<quint32>(p + 16), h = qFromBigEndian<quint32>(p + 20);
    if (w > 0x7fffffff || h > 0x7fffffff || !within_pixels(QSize(int(w), int(h)), maxPixels))
        return false;
    size_ = QSize(int(w), int(h));
    frames_ = info.frames;
    // The file counts the plays (0: forever); played n times is n - 1 more.
    loops_ = info.plays == 0 ? -1 : info.plays - 1;
    if (!start()) {
        frames_ = 0;
        return false;
    }
    return true;
}

bool ApngAnimation::start()
{
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    ctx_ = std::make_unique<Context>();
    Context &c = *ctx_;
    c.source.data = &data_;
    auto *buffer = static_cast<uint8_t *>(av_malloc(kIoBufferBytes));
    if (!buffer)
        return false;
    c.io = avio_alloc_context(buffer, kIoBufferBytes, 0, &c.source, read_memory, nullptr, seek_memory);
    c.format = c.io ? avformat_alloc_context() : nullptr;
    if (!c.format) {
        av_free(buffer);
        return false;
    }
    c.format->pb = c.io;
    c.format->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Only the apng demuxer on our bytes: no probing, no protocol may be opened. The loop is
    // played by the movie, not by the demuxer; a delay of 0 becomes 1 ms (shown as 100 ms).
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "", 0);
    av_dict_set(&options, "format_whitelist", "apng", 0);
    av_dict_set(&options, "ignore_loop", "0", 0);
    av_dict_set(&options, "max_fps", "0", 0);
    av_dict_set(&options, "default_fps", "1000", 0);
    const int opened = avformat_open_input(&c.format, nullptr, av_find_input_format("apng"), &options);
    av_dict_free(&options);
    if (opened < 0) {
        c.format = nullptr; // freed by the failed open
        return false;
    }
    if (c.format->nb_streams < 1)
        return false;
    const AVStream *stream = c.format->streams[0];
    const AVCodec *decoder = avcodec_find_decoder(AV_CODEC_ID_APNG);
    if (!decoder || stream->codecpar->codec_id != AV_CODEC_ID_APNG ||
        QSize(stream->codecpar->width, stream->codecpar->height) != size_)
        return false;
    c.timeBase = stream->time_base;
    c.codec = avcodec_alloc_context3(decoder);
    if (!c.codec || avcodec_parameters_to_context(c.codec, stream->codecpar) < 0)
        return false;
    c.codec->thread_count = 1;
    c.codec->max_pixels = maxPixels_;
    c.packet = av_packet_alloc();
    c.frame = av_frame_alloc();
    return c.packet && c.frame && avcodec_open2(c.codec, decoder, nullptr) >= 0;
}

bool ApngAnimation::next(QImage *frame, int *delayMs)
{
    if (!ctx_ || !ctx_->codec || frame_ + 1 >= frames_)
        return false;
    Context &c = *ctx_;
    for (;;) {
        const int received = avcodec_receive_frame(c.codec, c.frame);
        if (received == 0)
            break;
        if (received != AVERROR(EAGAIN) || c.drained)
            return false;
        if (av_read_frame(c.format, c.packet) < 0) {
            c.drained = true;
            avcodec_send_packet(c.codec, nullptr);
            continue;
        }
        const int sent = c.packet->stream_index == 0 ? avcodec_send_packet(c.codec, c.packet) : 0;
        av_packet_unref(c.packet);
        if (sent < 0 && sent != AVERROR(EAGAIN))
            return false;
    }
    const AVFrame *f = c.frame;
    if (QSize(f->width, f->height) != size_) {
        av_frame_unref(c.frame);
        return false;
    }
    QImage image(size_, QImage::Format_ARGB32);
    c.convert = image.isNull()
                    ? nullptr
                    : sws_getCachedContext(c.convert, f->width, f->height, AVPixelFormat(f->format), f->width,
                                           f->height, AV_PIX_FMT_RGB32, SWS_POINT, nullptr, nullptr, nullptr);
    bool converted = false;
    if (c.convert) {
        // Grey levels are full range in PNG.
        const int *coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(c.convert, coefficients, 1, coefficients, 1, 0, 1 << 16, 1 << 16);
        uint8_t *out[4] = {image.bits(), nullptr, nullptr, nullptr};
        const int outStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
        converted = sws_scale(c.convert, f->data, f->linesize, 0, f->height, out, outStride) == f->height;
    }
    if (converted) {
        if (const AVFrameSideData *icc = av_frame_get_side_data(f, AV_FRAME_DATA_ICC_PROFILE))
            convert_icc_to_srgb(&image,
                                QByteArray(reinterpret_cast<const char *>(icc->data), qsizetype(icc->size)));
    }
    const int64_t duration = f->pkt_duration;
    av_frame_unref(c.frame);
    if (!converted)
        return false;
    const int64_t ms = duration > 0 ? av_rescale_q(duration, c.timeBase, AVRational{1, 1000}) : 0;
    // Browsers show delays of 10 ms and less as 100 ms, as for GIF.
    *delayMs = ms <= 10 ? 100 : int(std::min<int64_t>(ms, 0x7fffffff));
    *frame = std::move(image);
    ++frame_;
    return true;
}

void ApngAnimation::rewind()
{
    // A fresh pass from the header: the decoder keeps the previous frame for blending.
    frame_ = -1;
    if (frames_ > 0 && !start())
        ctx_.reset();
}

std::unique_ptr<AnimationDecoder> make_apng_animation()
{
    return std::make_unique<ApngAnimation>();
}

} // namespace vorn
