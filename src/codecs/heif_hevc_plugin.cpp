#include "codecs/heif_hevc_plugin.h"

#include "codecs/picture_types.h"

#include <libheif/heif.h>
#include <libheif/heif_plugin.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace vorn
{

namespace
{

// libde265's plugin asks for 100; the largest wins.
constexpr int kPriority = 150;
const char kName[] = "FFmpeg HEVC decoder, threaded";
const char kIdName[] = "vorn-ffmpeg-hevc";
const char kNoError[] = "Success";

heif_error ok()
{
    return {heif_error_Ok, heif_suberror_Unspecified, kNoError};
}

heif_error failure(heif_suberror_code sub, const char *message)
{
    return {heif_error_Decoder_plugin_error, sub, message};
}

// One image's coded data, gathered from libheif's pushes (the parameter sets of the hvcC box,
// then the image's own NAL units, each behind a 4-byte big-endian length) as an Annex B stream:
// each length becomes a 4-byte start code in place.
struct Decoder {
    std::vector<uint8_t> stream;
};

const char *plugin_name()
{
    return kName;
}

void init_plugin() {}

void deinit_plugin() {}

// Damaged data is always refused (see decode_image).
void set_strict_decoding(void *, int) {}

int does_support_format(heif_compression_format format)
{
    return format == heif_compression_HEVC ? kPriority : 0;
}

heif_error new_decoder(void **decoder)
{
    *decoder = new Decoder;
    return ok();
}

void free_decoder(void *decoder)
{
    delete static_cast<Decoder *>(decoder);
}

heif_error push_data(void *raw, const void *data, size_t size)
{
    auto *decoder = static_cast<Decoder *>(raw);
    const auto *bytes = static_cast<const uint8_t *>(data);
    // The whole stream must stay within what one packet can carry.
    if (size > size_t(1) << 30 || decoder->stream.size() > (size_t(1) << 30) - size)
        return failure(heif_suberror_End_of_data, "The coded image is too large");
    const size_t start = decoder->stream.size();
    decoder->stream.insert(decoder->stream.end(), bytes, bytes + size);
    uint8_t *nal = decoder->stream.data() + start;
    size_t left = size;
    while (left > 0) {
        if (left < 4)
            return failure(heif_suberror_End_of_data, "A NAL unit is cut short");
        const size_t length = size_t(nal[0]) << 24 | size_t(nal[1]) << 16 | size_t(nal[2]) << 8 | nal[3];
        if (length > left - 4)
            return failure(heif_suberror_End_of_data, "A NAL unit is cut short");
        nal[0] = nal[1] = nal[2] = 0;
        nal[3] = 1;
        nal += 4 + length;
        left -= 4 + length;
    }
    return ok();
}

struct CodecFree {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
    void operator()(AVFrame *f) const { av_frame_free(&f); }
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
template <class T> using AvPtr = std::unique_ptr<T, CodecFree>;

// The decoded frame's layout as libheif names it; false for a layout it does not take (RGB,
// big-endian or packed formats, unequal depths, other subsamplings).
bool heif_layout(const AVPixFmtDescriptor *desc, heif_colorspace *space, heif_chroma *chroma, int *bits)
{
    if (!desc ||
        (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_PAL |
                        AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_ALPHA)))
        return false;
    *bits = desc->comp[0].depth;
    if (*bits < 8 || *bits > 16)
        return false;
    if (desc->nb_components == 1) {
        *space = heif_colorspace_monochrome;
        *chroma = heif_chroma_monochrome;
        return desc->comp[0].plane == 0;
    }
    if (desc->nb_components != 3 || !(desc->flags & AV_PIX_FMT_FLAG_PLANAR))
        return false;
    for (int c = 0; c < 3; ++c)
        if (desc->comp[c].depth != *bits || desc->comp[c].plane != c)
            return false;
    *space = heif_colorspace_YCbCr;
    if (desc->log2_chroma_w == 1 && desc->log2_chroma_h == 1)
        *chroma = heif_chroma_420;
    else if (desc->log2_chroma_w == 1 && desc->log2_chroma_h == 0)
        *chroma = heif_chroma_422;
    else if (desc->log2_chroma_w == 0 && desc->log2_chroma_h == 0)
        *chroma = heif_chroma_444;
    else
        return false;
    return true;
}

// The decoded frame as a libheif image of planes, with the colour the stream's VUI declares
// (as libheif's libde265 plugin gives it).
heif_error to_heif_image(const AVFrame *frame, heif_image **out)
{
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(AVPixelFormat(frame->format));
    heif_colorspace space;
    heif_chroma chroma;
    int bits = 0;
    if (frame->width <= 0 || frame->height <= 0 || !heif_layout(desc, &space, &chroma, &bits))
        return failure(heif_suberror_Unsupported_color_conversion,
                       "The HEVC image's layout is not supported");
    heif_image *image = nullptr;
    heif_error err = heif_image_create(frame->width, frame->height, space, chroma, &image);
    if (err.code != heif_error_Ok)
        return err;
    const int planes = space == heif_colorspace_monochrome ? 1 : 3;
    const heif_channel channels[3] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    const int bytesPerSample = bits > 8 ? 2 : 1;
    for (int c = 0; c < planes; ++c) {
        const int shiftW = c == 0 ? 0 : desc->log2_chroma_w;
        const int shiftH = c == 0 ? 0 : desc->log2_chroma_h;
        const int width = (frame->width + (1 << shiftW) - 1) >> shiftW;
        const int height = (frame->height + (1 << shiftH) - 1) >> shiftH;
        err = heif_image_add_plane(image, channels[c], width, height, bits);
        int stride = 0;
        uint8_t *to = err.code == heif_error_Ok ? heif_image_get_plane(image, channels[c], &stride) : nullptr;
        if (!to) {
            heif_image_release(image);
            return err.code != heif_error_Ok
                       ? err
                       : heif_error{heif_error_Memory_allocation_error, heif_suberror_Unspecified, kNoError};
        }
        const uint8_t *from = frame->data[c];
        const size_t rowBytes = size_t(width) * size_t(bytesPerSample);
        for (int y = 0; y < height; ++y)
            std::memcpy(to + size_t(y) * size_t(stride), from + ptrdiff_t(y) * frame->linesize[c], rowBytes);
    }
    heif_color_profile_nclx *nclx = heif_nclx_color_profile_alloc();
    if (nclx) {
        // FFmpeg's colour numbers are those of ITU-T H.273, as the nclx box's.
        heif_nclx_color_profile_set_color_primaries(nclx, uint16_t(frame->color_primaries));
        heif_nclx_color_profile_set_transfer_characteristics(nclx, uint16_t(frame->color_trc));
        heif_nclx_color_profile_set_matrix_coefficients(nclx, uint16_t(frame->colorspace));
        nclx->full_range_flag = frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0;
        heif_image_set_nclx_color_profile(image, nclx);
        heif_nclx_color_profile_free(nclx);
    }
    *out = image;
    return ok();
}

heif_error decode_image(void *raw, heif_image **out)
{
    auto *decoder = static_cast<Decoder *>(raw);
    *out = nullptr;
    const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_HEVC);
    AvPtr<AVCodecContext> context(codec ? avcodec_alloc_context3(codec) : nullptr);
    AvPtr<AVFrame> frame(av_frame_alloc());
    AvPtr<AVPacket> packet(av_packet_alloc());
    if (!context || !frame || !packet)
        return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, kNoError};
    // WPP rows and slices of the one picture on several threads; frame threads would only add
    // a frame of delay to a stream of one picture.
    // (With one thread the decoder must not be told of slice threads: it then calls an
    // execute function it has not set.)
    context->thread_count = heif_hevc_threads();
    context->thread_type = context->thread_count > 1 ? FF_THREAD_SLICE : 0;
    // No frame larger than any picture the program takes is allocated, whatever the stream says.
    context->max_pixels = kMaxPicturePixels;
    context->err_recognition = AV_EF_EXPLODE;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return failure(heif_suberror_Unspecified, "The HEVC decoder cannot be opened");
    packet->data = decoder->stream.data();
    packet->size = int(decoder->stream.size());
    packet->flags = AV_PKT_FLAG_KEY;
    if (avcodec_send_packet(context.get(), decoder->stream.empty() ? nullptr : packet.get()) < 0)
        return failure(heif_suberror_Unspecified, "The HEVC data cannot be decoded");
    avcodec_send_packet(context.get(), nullptr);
    if (avcodec_receive_frame(context.get(), frame.get()) < 0)
        return failure(heif_suberror_Unspecified, "The HEVC data holds no picture");
    // A picture decoded with errors concealed is refused: the file is reported as damaged
    // instead of being shown with made-up blocks.
    if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT))
        return failure(heif_suberror_Unspecified, "The HEVC data is damaged");
    return to_heif_image(frame.get(), out);
}

const heif_decoder_plugin kPlugin = {
    3,           plugin_name,  init_plugin, deinit_plugin, does_support_format,
    new_decoder, free_decoder, push_data,   decode_image,  set_strict_decoding,
    kIdName,
};

} // namespace

int heif_hevc_threads()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

bool register_heif_hevc_plugin()
{
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        if (!avcodec_find_decoder(AV_CODEC_ID_HEVC))
            return;
        av_log_set_level(AV_LOG_QUIET);
        registered = heif_register_decoder_plugin(&kPlugin).code == heif_error_Ok;
    });
    return registered;
}

} // namespace vorn
