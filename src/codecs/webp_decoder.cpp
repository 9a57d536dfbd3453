#include "codecs/webp_decoder.h"

#include "codecs/decoded_picture.h"
#include "codecs/image_memory.h"
#include "codecs/picture_colour.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_orientation.h"
#include "codecs/webp_animation.h"

#include <webp/decode.h>
#include <webp/demux.h>

namespace vorn
{

namespace
{

// The incremental decoder gets the data in steps of this size, so a cancel is seen between.
constexpr qsizetype kWebpStep = qsizetype(256) << 10;

struct WebpChunks {
    int orientation = 1;
    QByteArray icc;
};

QByteArray chunk(WebPDemuxer *demux, const char fourcc[4])
{
    QByteArray bytes;
    WebPChunkIterator it;
    if (WebPDemuxGetChunk(demux, fourcc, 1, &it)) {
        bytes = QByteArray(reinterpret_cast<const char *>(it.chunk.bytes), qsizetype(it.chunk.size));
        WebPDemuxReleaseChunkIterator(&it);
    }
    return bytes;
}

// The EXIF and ICCP chunks of an extended file.
bool read_chunks(const QByteArray &data, WebpChunks *out)
{
    const WebPData webp{reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size())};
    WebPDemuxer *demux = WebPDemux(&webp);
    if (!demux)
        return false;
    const uint32_t flags = WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS);
    if (flags & EXIF_FLAG)
        out->orientation = exif_orientation(chunk(demux, "EXIF"));
    if (flags & ICCP_FLAG)
        out->icc = chunk(demux, "ICCP");
    WebPDemuxDelete(demux);
    return true;
}

// A still picture decoded at `size` (the stored orientation), by the library's scaler when
// that is smaller than the picture.
QImage decode_still(const QByteArray &data, QSize natural, QSize size, bool alpha, const DecodeRequest &req)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return QImage();
    if (size.isValid() && size.width() <= natural.width() && size.height() <= natural.height()) {
        config.options.use_scaling = 1;
        config.options.scaled_width = size.width();
        config.options.scaled_height = size.height();
        // Shown at half the size or less, the loop filter's and the chroma upsampling's
        // smoothing vanish in the scaling: skip both, as dwebp's -nofilter and -nofancy do.
        if (qint64(size.width()) * 2 <= natural.width() && qint64(size.height()) * 2 <= natural.height()) {
            config.options.bypass_filtering = 1;
            config.options.no_fancy_upsampling = 1;
        }
    } else {
        size = natural;
    }
    config.options.use_threads = 1;
    QImage image = large_image(size.width(), size.height(),
                               alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    // Premultiplied for pictures with alpha; the opaque ones get alpha 255, as RGB32 wants.
    config.output.colorspace = alpha ? (little ? MODE_bgrA : MODE_Argb) : (little ? MODE_BGRA : MODE_ARGB);
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = image.bits();
    config.output.u.RGBA.stride = int(image.bytesPerLine());
    config.output.u.RGBA.size = size_t(image.sizeInBytes());
    WebPIDecoder *idec = WebPIDecode(nullptr, 0, &config);
    if (!idec)
        return QImage();
    const auto *bytes = reinterpret_cast<const uint8_t *>(data.constData());
    VP8StatusCode status = VP8_STATUS_SUSPENDED;
    for (qsizetype have = 0; have < data.size() && status == VP8_STATUS_SUSPENDED;) {
        if (is_cancelled(req))
            break;
        have = std::min(data.size(), have + kWebpStep);
        status = WebPIUpdate(idec, bytes, size_t(have));
    }
    WebPIDelete(idec);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK ? image : QImage();
}

// The first frame of an animation, or its middle one when asked.
QImage decode_frame(const QByteArray &data, const DecodeRequest &req, int *frameCount)
{
    WebpAnimation animation;
    if (!animation.open(data, req.maxPixels))
        return QImage();
    *frameCount = animation.frameCount();
    const int wanted = still_frame_index(req, animation.frameCount(), animation.size());
    QImage frame;
    int delay = 0;
    while (animation.currentFrame() < wanted) {
        if (is_cancelled(req) || !animation.next(&frame, &delay))
            return QImage();
    }
    return frame;
}

} // namespace

QSize probe_webp_size(const QByteArray &head)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(head.constData());
    WebPBitstreamFeatures features;
    if (head.isEmpty() || WebPGetFeatures(bytes, size_t(head.size()), &features) != VP8_STATUS_OK)
        return QSize();
    const QSize stored(features.width, features.height);
    const WebPData webp{bytes, size_t(head.size())};
    WebPDemuxState state;
    WebPDemuxer *demux = WebPDemuxPartial(&webp, &state);
    if (!demux)
        return QSize();
    int orientation = 1;
    bool known = true;
    if (!features.has_animation && (WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & EXIF_FLAG)) {
        // The EXIF chunk usually follows the picture's data: without it the size is not known.
        const QByteArray exif = chunk(demux, "EXIF");
        known = !exif.isEmpty();
        orientation = exif_orientation(exif);
    }
    WebPDemuxDelete(demux);
    return known ? oriented_size(stored, orientation) : QSize();
}

LoadedPicture decode_webp(const QByteArray &data, const DecodeRequest &req)
{
    LoadedPicture result;
    result.kind = PictureKind::Webp;
    WebPBitstreamFeatures features;
    if (data.isEmpty() || WebPGetFeatures(reinterpret_cast<const uint8_t *>(data.constData()),
                                          size_t(data.size()), &features) != VP8_STATUS_OK)
        return result;
    const QSize stored(features.width, features.height);
    if (!within_pixels(stored, req.maxPixels))
        return result;
    WebpChunks chunks;
    if (!read_chunks(data, &chunks))
        return result;
    if (features.has_animation)
        chunks.orientation = 1; // frames play as stored, and a thumbnail shows them so too
    result.naturalSize = oriented_size(stored, chunks.orientation);
    const QSize shown = requested_size(req, result.naturalSize);
    result.frameCount = 1;
    if (shown.isValid() && shown.isEmpty()) {
        result.ok = true;
        return result;
    }
    QImage image;
    if (features.has_animation) {
        image = decode_frame(data, req, &result.frameCount);
    } else {
        image = decode_still(data, stored, oriented_size(shown, chunks.orientation), features.has_alpha, req);
    }
    if (image.isNull() || is_cancelled(req))
        return result;
    image = fit_to(image, oriented_size(shown, chunks.orientation));
    convert_icc_to_srgb(&image, chunks.icc);
    to_display_format(&image, image.hasAlphaChannel());
    result.image = apply_exif_orientation(image, chunks.orientation);
    result.ok = !result.image.isNull();
    return result;
}

} // namespace vorn
