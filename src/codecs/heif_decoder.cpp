#include "codecs/heif_decoder.h"

#include "codecs/decoded_picture.h"
#include "codecs/heif_hevc_plugin.h"
#include "codecs/image_memory.h"
#include "codecs/picture_colour.h"
#include "codecs/picture_kinds.h"
#include "codecs/ycbcr_to_rgb.h"

#include <libheif/heif.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace vorn
{

namespace
{

// Wider or taller images are refused by the library before it reads their data.
constexpr int kMaxHeifSide = 32768;

struct HeifFree {
    void operator()(heif_context *c) const { heif_context_free(c); }
    void operator()(heif_image_handle *h) const { heif_image_handle_release(h); }
    void operator()(heif_image *i) const { heif_image_release(i); }
    void operator()(heif_decoding_options *o) const { heif_decoding_options_free(o); }
};
template <class T> using HeifPtr = std::unique_ptr<T, HeifFree>;

QSize shown_size_of(const heif_image_handle *handle)
{
    return QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
}

// The size the decoder allocates for an image (before its transforms) and the size it shows
// (after them), both within the limit.
bool handle_within_limit(const heif_image_handle *handle, qint64 maxPixels)
{
    const QSize coded(heif_image_handle_get_ispe_width(handle), heif_image_handle_get_ispe_height(handle));
    return within_pixels(coded, maxPixels) && within_pixels(shown_size_of(handle), maxPixels);
}

// The file's thumbnail of the primary image that is at least `shown` and has its proportions
// (to a pixel), the smallest of them; null when none is.
HeifPtr<heif_image_handle> fitting_thumbnail(const heif_image_handle *primary, QSize shown, qint64 maxPixels)
{
    HeifPtr<heif_image_handle> best;
    const int count = heif_image_handle_get_number_of_thumbnails(primary);
    if (count <= 0 || !shown.isValid())
        return best;
    std::vector<heif_item_id> ids(size_t(std::min(count, 16)));
    const int n = heif_image_handle_get_list_of_thumbnail_IDs(primary, ids.data(), int(ids.size()));
    const QSize full = shown_size_of(primary);
    for (int i = 0; i < n; ++i) {
        heif_image_handle *raw = nullptr;
        if (heif_image_handle_get_thumbnail(primary, ids[size_t(i)], &raw).code != heif_error_Ok)
            continue;
        HeifPtr<heif_image_handle> thumb(raw);
        const QSize size = shown_size_of(thumb.get());
        const bool proportional =
            std::abs(qint64(size.width()) * full.height() - qint64(size.height()) * full.width()) <=
            std::max(full.width(), full.height());
        if (proportional && size.width() >= shown.width() && size.height() >= shown.height() &&
            handle_within_limit(thumb.get(), maxPixels) &&
            (!best || size.width() < shown_size_of(best.get()).width()))
            best = std::move(thumb);
    }
    return best;
}

// The colour an image declares: a profile, or coded primaries and transfer (2: unspecified).
struct HeifColour {
    QByteArray icc;
    int primaries = 2;
    int transfer = 2;
    bool declared() const { return !icc.isEmpty() || primaries != 2 || transfer != 2; }
};

HeifColour colour_of(const heif_image_handle *handle)
{
    HeifColour colour;
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx *nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx) {
            colour.primaries = int(nclx->color_primaries);
            colour.transfer = int(nclx->transfer_characteristics);
        }
        heif_nclx_color_profile_free(nclx);
        break;
    }
    case heif_color_profile_type_rICC:
    case heif_color_profile_type_prof: {
        const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size == 0 || size > (size_t(1) << 24))
            break;
        colour.icc.resize(qsizetype(size));
        if (heif_image_handle_get_raw_color_profile(handle, colour.icc.data()).code != heif_error_Ok)
            colour.icc.clear();
        break;
    }
    default:
        break;
    }
    return colour;
}

bool is_hdr_transfer(int transfer)
{
    return transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_PQ ||
           transfer == heif_transfer_characteristic_ITU_R_BT_2100_0_HLG;
}

// An HDR picture's samples (10 or 12 bits in 16-bit little-endian words) spread over 16 bits,
// so that its transfer is mapped with all its precision.
QImage deep_image(const uint8_t *plane, int stride, QSize size, int bits, bool alpha)
{
    QImage image(size, alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    if (image.isNull() || bits <= 8 || bits > 16)
        return QImage();
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < size.height(); ++y) {
        const uint8_t *in = plane + qsizetype(y) * stride;
        auto *out = reinterpret_cast<quint16 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x, out += 4) {
            for (int c = 0; c < 4; ++c) {
                if (c == channels) {
                    out[c] = 0xffff;
                    continue;
                }
                const unsigned v = unsigned(in[0] | in[1] << 8) & ((1u << bits) - 1);
                in += 2;
                out[c] = quint16(v << (16 - bits) | v >> (2 * bits - 16));
            }
        }
    }
    return image;
}

// Rows of 8-bit RGB samples as opaque RGB32 pixels of *out (of the same size).
void rgb_rows_to_rgb32(const uint8_t *plane, int stride, QImage *out)
{
    const int width = out->width();
    for (int y = 0; y < out->height(); ++y) {
        const uint8_t *in = plane + qsizetype(y) * stride;
        auto *to = reinterpret_cast<quint32 *>(out->scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            to[x] = 0xff000000u | quint32(in[0]) << 16 | quint32(in[1]) << 8 | in[2];
    }
}

// An opaque picture of `size` shown at `shown` (invalid: at its size), its pixels written by
// `fill` into RGB32 memory: this thread's scratch picture when they are only to be scaled down,
// else straight into the picture's own memory, so no fresh 12 MP copy is faulted in on the way.
QImage opaque_picture(QSize size, QSize shown, const std::function<bool(QImage *)> &fill)
{
    const bool scaled = shown.isValid() && shown != size;
    QImage rgb = scaled ? take_scratch_image(size.width(), size.height(), QImage::Format_RGB32)
                        : large_image(size.width(), size.height(), QImage::Format_RGB32);
    if (rgb.isNull() || !fill(&rgb))
        return QImage();
    if (!scaled)
        return rgb;
    QImage picture = fit_to(rgb, shown);
    give_back_scratch_image(std::move(rgb));
    return picture;
}

// The matrix and range the decoded image's colour description names (the stream's own, or the
// file's nclx box), else the handle's; "unspecified" and full range when neither says.
void ycbcr_coding(const heif_image *image, const heif_image_handle *handle, int *matrix, bool *fullRange)
{
    *matrix = heif_matrix_coefficients_unspecified;
    *fullRange = true;
    heif_color_profile_nclx *nclx = nullptr;
    if (heif_image_get_nclx_color_profile(image, &nclx).code != heif_error_Ok || !nclx) {
        nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok)
            nclx = nullptr;
    }
    if (nclx) {
        *matrix = int(nclx->matrix_coefficients);
        *fullRange = nclx->full_range_flag != 0;
        heif_nclx_color_profile_free(nclx);
    }
}

// A plane of 8-bit samples of at least `size`; null when the image has none such.
const uint8_t *plane_of(const heif_image *image, heif_channel channel, QSize size, int *stride)
{
    if (!heif_image_has_channel(image, channel) || heif_image_get_bits_per_pixel_range(image, channel) != 8 ||
        heif_image_get_width(image, channel) < size.width() ||
        heif_image_get_height(image, channel) < size.height())
        return nullptr;
    return heif_image_get_plane_readonly(image, channel, stride);
}

enum class PlanarOutcome { Done, Failed, NotConverted };

// An opaque 8-bit picture decoded in the layout the library hands out when asked for none (libheif
// 1.15 gives planar RGB of its own conversion; YCbCr or gray where it keeps the decoder's), its
// rows turned into RGB32 here on every core, straight into the picture's memory, instead of
// through an interleaved copy. NotConverted for a layout or matrix not converted here.
PlanarOutcome decode_planar(const heif_image_handle *source, const heif_decoding_options *options,
                            QSize shown, const DecodeRequest &req, QImage *picture)
{
    heif_image *decoded = nullptr;
    if (heif_decode_image(source, &decoded, heif_colorspace_undefined, heif_chroma_undefined, options).code !=
        heif_error_Ok)
        return PlanarOutcome::Failed;
    HeifPtr<heif_image> image(decoded);
    if (is_cancelled(req))
        return PlanarOutcome::Failed;
    const QSize size = shown_size_of(source);
    const heif_colorspace space = heif_image_get_colorspace(image.get());
    const heif_chroma chroma = heif_image_get_chroma_format(image.get());
    const bool ycbcr = space == heif_colorspace_YCbCr &&
                       (chroma == heif_chroma_420 || chroma == heif_chroma_422 || chroma == heif_chroma_444);
    const bool gray = space == heif_colorspace_monochrome && chroma == heif_chroma_monochrome;
    const bool rgb = space == heif_colorspace_RGB && chroma == heif_chroma_444;
    if ((!ycbcr && !gray && !rgb) || heif_image_has_channel(image.get(), heif_channel_Alpha))
        return PlanarOutcome::NotConverted;
    // The picture must have the size the file declares (and the library reported).
    const heif_channel first = rgb ? heif_channel_G : heif_channel_Y;
    if (heif_image_get_width(image.get(), first) != size.width() ||
        heif_image_get_height(image.get(), first) != size.height())
        return PlanarOutcome::Failed;
    YcbcrPlanes planes;
    int matrix = heif_matrix_coefficients_unspecified;
    bool fullRange = true;
    if (ycbcr) {
        planes.chromaShiftX = chroma == heif_chroma_444 ? 0 : 1;
        planes.chromaShiftY = chroma == heif_chroma_420 ? 1 : 0;
        const QSize chromaSize((size.width() + (1 << planes.chromaShiftX) - 1) >> planes.chromaShiftX,
                               (size.height() + (1 << planes.chromaShiftY) - 1) >> planes.chromaShiftY);
        planes.y = plane_of(image.get(), heif_channel_Y, size, &planes.yStride);
        planes.cb = plane_of(image.get(), heif_channel_Cb, chromaSize, &planes.cbStride);
        planes.cr = plane_of(image.get(), heif_channel_Cr, chromaSize, &planes.crStride);
        if (!planes.cb || !planes.cr)
            return PlanarOutcome::NotConverted;
        ycbcr_coding(image.get(), source, &matrix, &fullRange);
    } else if (gray) {
        planes.y = plane_of(image.get(), heif_channel_Y, size, &planes.yStride);
        ycbcr_coding(image.get(), source, &matrix, &fullRange);
        matrix = heif_matrix_coefficients_ITU_R_BT_601_6; // gray: only the range counts
    } else {
        // Planar RGB as GBR: green in the luma place, blue and red as the two chroma planes.
        planes.y = plane_of(image.get(), heif_channel_G, size, &planes.yStride);
        planes.cb = plane_of(image.get(), heif_channel_B, size, &planes.cbStride);
        planes.cr = plane_of(image.get(), heif_channel_R, size, &planes.crStride);
        if (!planes.cb || !planes.cr)
            return PlanarOutcome::NotConverted;
        matrix = heif_matrix_coefficients_RGB_GBR;
    }
    if (!planes.y || !ycbcr_matrix_supported(matrix))
        return PlanarOutcome::NotConverted;
    // Shown at half the size or less, the planes are first averaged by the largest whole factor
    // that keeps the picture above its shown size: the full-size picture is never made.
    const int factor = shown.isValid() && !shown.isEmpty()
                           ? std::min({size.width() / shown.width(), size.height() / shown.height(), 64})
                           : 1;
    if (factor >= 2) {
        const QSize reduced = reduced_size(size, factor);
        QImage small = large_image(reduced.width(), reduced.height(), QImage::Format_RGB32);
        if (small.isNull() ||
            !ycbcr_to_rgb32_reduced(planes, size, factor, matrix, fullRange, &small, heif_hevc_threads()))
            return PlanarOutcome::Failed;
        *picture = fit_to(small, shown);
    } else {
        *picture = opaque_picture(size, shown, [&](QImage *out) {
            return ycbcr_to_rgb32(planes, matrix, fullRange, out, heif_hevc_threads());
        });
    }
    return picture->isNull() ? PlanarOutcome::Failed : PlanarOutcome::Done;
}

// The length a file declares by the sizes of its top-level boxes, read from its first bytes:
// mostly they end inside the media data box, after the meta box that tells the picture's size.
// The head's own length when a box runs to the end of the file or the sizes make no sense.
qint64 declared_length(const QByteArray &head)
{
    const auto *bytes = reinterpret_cast<const uchar *>(head.constData());
    quint64 at = 0;
    while (at + 8 <= quint64(head.size())) {
        quint64 size = qFromBigEndian<quint32>(bytes + at);
        if (size == 1 && at + 16 <= quint64(head.size()))
            size = qFromBigEndian<quint64>(bytes + at + 8);
        if (size < 8 || size > (quint64(1) << 40))
            return head.size();
        at += size;
    }
    return qint64(std::max<quint64>(at, quint64(head.size())));
}

// The first bytes of a file as libheif reads a file: what lies past them reads as zeros, up to the
// length the file declares. The meta box is all the size needs; the picture's data is never read.
struct HeadReader {
    const QByteArray &head;
    qint64 length;
    qint64 position = 0;

    static int64_t get_position(void *self) { return static_cast<HeadReader *>(self)->position; }
    static int read(void *data, size_t size, void *raw)
    {
        auto *self = static_cast<HeadReader *>(raw);
        if (qint64(size) > self->length - self->position)
            return 1;
        const qint64 fromHead = std::clamp<qint64>(self->head.size() - self->position, 0, qint64(size));
        if (fromHead > 0)
            std::memcpy(data, self->head.constData() + self->position, size_t(fromHead));
        std::memset(static_cast<char *>(data) + fromHead, 0, size - size_t(fromHead));
        self->position += qint64(size);
        return 0;
    }
    static int seek(int64_t position, void *raw)
    {
        auto *self = static_cast<HeadReader *>(raw);
        if (position < 0 || position > self->length)
            return 1;
        self->position = position;
        return 0;
    }
    static heif_reader_grow_status wait_for_file_size(int64_t target, void *raw)
    {
        return target <= static_cast<HeadReader *>(raw)->length ? heif_reader_grow_status_size_reached
                                                                : heif_reader_grow_status_size_beyond_eof;
    }
};

} // namespace

QSize probe_heif_size(const QByteArray &head)
{
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context || head.size() < 16)
        return QSize();
    HeadReader source{head, declared_length(head)};
    static const heif_reader reader = {1, HeadReader::get_position, HeadReader::read, HeadReader::seek,
                                       HeadReader::wait_for_file_size};
    heif_image_handle *raw = nullptr;
    if (heif_context_read_from_reader(context.get(), &reader, &source, nullptr).code != heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok)
        return QSize();
    HeifPtr<heif_image_handle> primary(raw);
    const QSize size = shown_size_of(primary.get());
    return size.width() > 0 && size.height() > 0 ? size : QSize();
}

LoadedPicture decode_heif(const QByteArray &data, const DecodeRequest &req)
{
    LoadedPicture result;
    result.kind = PictureKind::Heif;
    if (data.isEmpty())
        return result;
    // The decoder's frames, the library's planes and the picture's rows are 3 to 48 MB each,
    // allocated anew for every picture: they reuse the memory the last picture freed.
    reuse_freed_memory();
    register_heif_hevc_plugin();
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context)
        return result;
    // The tiles of a grid picture (as phones write them) decode side by side on every core.
    heif_context_set_max_decoding_threads(context.get(), heif_hevc_threads());
    heif_context_set_maximum_image_size_limit(context.get(),
                                              int(std::min<qint64>(req.maxPixels, kMaxHeifSide)));
    heif_image_handle *raw = nullptr;
    if (heif_context_read_from_memory_without_copy(context.get(), data.constData(), size_t(data.size()),
                                                   nullptr)
                .code != heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &raw).code != heif_error_Ok)
        return result;
    HeifPtr<heif_image_handle> primary(raw);
    if (!handle_within_limit(primary.get(), req.maxPixels))
        return result;
    // The library reports and decodes the image with its transforms applied: this is upright.
    result.naturalSize = shown_size_of(primary.get());
    result.frameCount = 1;
    const QSize shown = requested_size(req, result.naturalSize);
    if (shown.isValid() && shown.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (is_cancelled(req))
        return result;
    HeifPtr<heif_image_handle> thumbnail = fitting_thumbnail(primary.get(), shown, req.maxPixels);
    const heif_image_handle *source = thumbnail ? thumbnail.get() : primary.get();
    const bool alpha = heif_image_handle_has_alpha_channel(source);
    HeifColour colour = colour_of(source);
    if (!colour.declared())
        colour = colour_of(primary.get());
    // HDR pictures keep their depth until their transfer is mapped; the rest become 8 bits.
    const bool deep = colour.icc.isEmpty() && is_hdr_transfer(colour.transfer) &&
                      heif_image_handle_get_luma_bits_per_pixel(source) > 8;
    HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    options->ignore_transformations = 0;
    options->convert_hdr_to_8bit = deep ? 0 : 1;
    QImage picture;
    // Opaque 8-bit pictures come as planes (after the file's transforms) and are turned into
    // RGB32 here; the rest, and layouts not converted here, interleaved by the library.
    // (Deeper pictures would come as deeper planes, not taken here: they are not decoded twice.)
    const PlanarOutcome planar = !deep && !alpha && heif_image_handle_get_luma_bits_per_pixel(source) == 8
                                     ? decode_planar(source, options.get(), shown, req, &picture)
                                     : PlanarOutcome::NotConverted;
    if (planar == PlanarOutcome::Failed)
        return result;
    if (planar == PlanarOutcome::NotConverted) {
        const heif_chroma chroma =
            deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                 : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
        heif_image *decoded = nullptr;
        if (heif_decode_image(source, &decoded, heif_colorspace_RGB, chroma, options.get()).code !=
            heif_error_Ok)
            return result;
        HeifPtr<heif_image> image(decoded);
        int stride = 0;
        const uint8_t *plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
        const QSize size(heif_image_get_width(image.get(), heif_channel_interleaved),
                         heif_image_get_height(image.get(), heif_channel_interleaved));
        const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
        if (!plane || size != shown_size_of(source) || is_cancelled(req) || (deep ? bits <= 8 : bits != 8))
            return result;
        if (deep) {
            picture = fit_to(deep_image(plane, stride, size, bits, alpha), shown);
        } else if (!alpha) {
            picture = opaque_picture(size, shown, [&](QImage *rgb) {
                rgb_rows_to_rgb32(plane, stride, rgb);
                return true;
            });
        } else {
            const QImage::Format format = heif_image_handle_is_premultiplied_alpha(source)
                                              ? QImage::Format_RGBA8888_Premultiplied
                                              : QImage::Format_RGBA8888;
            // The plane belongs to the library's image: scaling or converting makes the picture's own.
            const QImage view(plane, size.width(), size.height(), stride, format);
            picture = shown.isValid() && shown != size
                          ? fit_to(view, shown)
                          : view.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        }
    }
    if (picture.isNull())
        return result;
    if (!colour.icc.isEmpty())
        convert_icc_to_srgb(&picture, colour.icc);
    else
        convert_cicp_to_srgb(&picture, colour.primaries, colour.transfer);
    to_display_format(&picture, alpha);
    result.image = picture;
    result.ok = !result.image.isNull();
    return result;
}

} // namespace vorn
