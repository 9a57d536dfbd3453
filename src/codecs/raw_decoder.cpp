#include "codecs/raw_decoder.h"

#include "base/native_names.h"

#include "codecs/image_memory.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"
#include "codecs/picture_orientation.h"
#include "codecs/picture_probe.h"

#include <libraw/libraw.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vorn
{

int orientation_of_raw_flip(int flip)
{
    static const int kOrientation[8] = {1, 2, 4, 3, 5, 8, 6, 7};
    return kOrientation[flip & 7];
}

QString raw_extensions()
{
    QString extensions =
        QStringLiteral("cr2 crw nef nrw arw srf sr2 dng orf raf rw2 rwl pef srw kdc dcr mrw 3fr "
                       "erf mef mos iiq");
    if (LibRaw::versionNumber() >= LIBRAW_MAKE_VERSION(0, 20, 0))
        extensions += QStringLiteral(" cr3");
    if (libraw_capabilities() & LIBRAW_CAPS_X3FTOOLS)
        extensions += QStringLiteral(" x3f");
    return extensions;
}

namespace
{

// A preview whose shape differs more than this from the sensor's (a 16:9 preview of a 3:2
// sensor) would show a different picture; it is not taken.
constexpr double kPreviewAspectTolerance = 0.03;

QSize upright(QSize stored, int flip)
{
    return (flip & 4) ? stored.transposed() : stored;
}

bool covers(QSize size, QSize shown)
{
    return size.width() >= shown.width() && size.height() >= shown.height();
}

bool same_shape(QSize a, QSize b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const double ra = double(a.width()) / a.height(), rb = double(b.width()) / b.height();
    return std::abs(ra - rb) <= kPreviewAspectTolerance * rb;
}

// LibRaw asks between the steps of unpacking and developing; a true answer stops it.
int progress_callback(void *data, enum LibRaw_progress, int, int)
{
    const auto *cancelled = static_cast<const std::function<bool()> *>(data);
    return *cancelled && (*cancelled)() ? 1 : 0;
}

bool is_cancelled(const DecodeRequest &req)
{
    return req.cancelled && req.cancelled();
}

// 8-bit samples (3 a pixel, or 1 for grey), rows packed, into an RGB32 picture.
QImage rgb32_from_samples(const uchar *samples, int width, int height, int colors)
{
    QImage image = large_image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < height; ++y) {
        const uchar *in = samples + qsizetype(y) * width * colors;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        if (colors == 3) {
            for (int x = 0; x < width; ++x, in += 3)
                out[x] = qRgb(in[0], in[1], in[2]);
        } else {
            for (int x = 0; x < width; ++x, ++in)
                out[x] = qRgb(in[0], in[0], in[0]);
        }
    }
    return image;
}

// The camera's embedded preview at the shown size (upright), or a null picture when there is
// none, it is smaller than the shown size, of another shape or cannot be read.
QImage take_preview(LibRaw &raw, QSize natural, QSize shown, const DecodeRequest &req)
{
    const qint64 maxPixels = req.maxPixels;
    // The JPEG path at a shown size, cancelled as this decode is.
    const auto decodeJpeg = [&req](const QByteArray &jpeg, QSize size) {
        DecodeRequest jpegReq;
        jpegReq.shownSize = size;
        jpegReq.maxPixels = req.maxPixels;
        jpegReq.cancelled = req.cancelled;
        return decode_jpeg_picture(jpeg, jpegReq);
    };
    const libraw_thumbnail_t &thumb = raw.imgdata.thumbnail;
    const int flip = raw.imgdata.sizes.flip;
    // The claimed size, when known, already rules out a preview that is too small.
    if (thumb.twidth > 0 && thumb.theight > 0 &&
        qint64(thumb.twidth) * thumb.theight < qint64(shown.width()) * shown.height())
        return {};
    if (raw.unpack_thumb() != LIBRAW_SUCCESS || !thumb.thumb || thumb.tlength == 0)
        return {};
    if (thumb.tformat == LIBRAW_THUMBNAIL_JPEG) {
        const QByteArray jpeg = QByteArray::fromRawData(thumb.thumb, qsizetype(thumb.tlength));
        QSize stored;
        int exifOrientation = 1;
        if (!read_jpeg_header(jpeg, &stored, &exifOrientation) || stored.isEmpty())
            return {};
        if (exifOrientation != 1) {
            // The preview carries its own orientation: the JPEG path turns it upright, and the
            // RAW flip (which says the same) is not applied a second time.
            const QSize up = exifOrientation >= 5 ? stored.transposed() : stored;
            if (!covers(up, shown) || !same_shape(up, natural))
                return {};
            const LoadedPicture p = decodeJpeg(jpeg, shown);
            return p.ok && !p.damaged ? p.image : QImage();
        }
        const QSize up = upright(stored, flip);
        if (!covers(up, shown) || !same_shape(up, natural))
            return {};
        const LoadedPicture p = decodeJpeg(jpeg, upright(shown, flip));
        if (!p.ok || p.damaged)
            return {};
        return apply_exif_orientation(p.image, orientation_of_raw_flip(flip));
    }
    if (thumb.tformat == LIBRAW_THUMBNAIL_BITMAP && (thumb.tcolors == 3 || thumb.tcolors == 1)) {
        const QSize stored(thumb.twidth, thumb.theight);
        const QSize up = upright(stored, flip);
        if (stored.isEmpty() ||
            qint64(thumb.tlength) < qint64(stored.width()) * stored.height() * thumb.tcolors ||
            qint64(stored.width()) * stored.height() > maxPixels || !covers(up, shown) ||
            !same_shape(up, natural))
            return {};
        const QImage image = rgb32_from_samples(reinterpret_cast<const uchar *>(thumb.thumb), stored.width(),
                                                stored.height(), thumb.tcolors);
        return apply_exif_orientation(fit_to(image, upright(shown, flip)), orientation_of_raw_flip(flip));
    }
    return {};
}

// Develops the sensor data into sRGB at 8 bits (the flip applied), at half the size when asked.
QImage develop(LibRaw &raw, bool halfSize, const DecodeRequest &req)
{
    libraw_output_params_t &params = raw.imgdata.params;
    params.half_size = halfSize ? 1 : 0;
    params.use_camera_wb = 1;
    params.output_color = 1; // sRGB primaries
    params.output_bps = 8;
    // The sRGB tone curve, and white where the sensor clips: no brightening by the histogram,
    // so a dark picture stays dark.
    params.gamm[0] = 1 / 2.4;
    params.gamm[1] = 12.92;
    params.no_auto_bright = 1;
    if (raw.unpack() != LIBRAW_SUCCESS || is_cancelled(req))
        return {};
    if (raw.dcraw_process() != LIBRAW_SUCCESS || is_cancelled(req))
        return {};
    int error = 0;
    libraw_processed_image_t *processed = raw.dcraw_make_mem_image(&error);
    if (!processed)
        return {};
    QImage image;
    if (processed->type == LIBRAW_IMAGE_BITMAP && processed->bits == 8 &&
        (processed->colors == 3 || processed->colors == 1) &&
        qint64(processed->data_size) >= qint64(processed->width) * processed->height * processed->colors)
        image = rgb32_from_samples(processed->data, processed->width, processed->height, processed->colors);
    LibRaw::dcraw_clear_mem(processed);
    return image;
}

std::unique_ptr<LibRaw> new_raw(qint64 maxPixels)
{
    // Messages about damaged data come back as error codes, not on stderr.
    auto raw = std::make_unique<LibRaw>(LIBRAW_OPIONS_NO_MEMERR_CALLBACK | LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    // The sensor data may take 8 bytes a pixel while it is developed; more than the pixel
    // guard allows is refused by LibRaw before it is allocated.
    raw->imgdata.params.max_raw_memory_mb = unsigned(std::clamp<qint64>(maxPixels * 8 / (1 << 20), 64, 2048));
    return raw;
}

// `raw` once opened, when its sizes are within the pixel guard.
std::unique_ptr<LibRaw> within_guard(std::unique_ptr<LibRaw> raw, qint64 maxPixels)
{
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    if (sizes.width == 0 || sizes.height == 0 || qint64(sizes.width) * sizes.height > maxPixels ||
        qint64(sizes.raw_width) * sizes.raw_height > maxPixels)
        return nullptr;
    return raw;
}

std::unique_ptr<LibRaw> open_raw(const QByteArray &data, qint64 maxPixels)
{
    if (data.isEmpty())
        return nullptr;
    auto raw = new_raw(maxPixels);
    // LibRaw only reads the buffer.
    if (raw->open_buffer(const_cast<char *>(data.constData()), size_t(data.size())) != LIBRAW_SUCCESS)
        return nullptr;
    return within_guard(std::move(raw), maxPixels);
}

QSize upright_size(const LibRaw &raw)
{
    return upright(QSize(raw.imgdata.sizes.width, raw.imgdata.sizes.height), raw.imgdata.sizes.flip);
}

} // namespace

QSize probe_raw_size(const QByteArray &head)
{
    const auto raw = open_raw(head, kMaxPicturePixels);
    return raw ? upright_size(*raw) : QSize();
}

QSize probe_raw_file(const QString &path)
{
    // LibRaw reads from the file only what it parses: the directories, not the sensor data.
    auto raw = new_raw(kMaxPicturePixels);
    if (raw->open_file(native_path(path).constData()) != LIBRAW_SUCCESS)
        return QSize();
    raw = within_guard(std::move(raw), kMaxPicturePixels);
    return raw ? upright_size(*raw) : QSize();
}

LoadedPicture decode_raw(const QByteArray &data, const DecodeRequest &req)
{
    LoadedPicture result;
    result.kind = PictureKind::Raw;
    if (is_cancelled(req))
        return result;
    const auto raw = open_raw(data, req.maxPixels);
    if (!raw)
        return result;
    raw->set_progress_handler(progress_callback, const_cast<std::function<bool()> *>(&req.cancelled));
    const libraw_image_sizes_t &sizes = raw->imgdata.sizes;
    const QSize stored(sizes.width, sizes.height);
    const int flip = sizes.flip;
    result.naturalSize = upright(stored, flip);
    result.frameCount = 1;
    const QSize shown = req.rule ? (*req.rule)(result.naturalSize) : req.shownSize;
    if (shown.isValid() && shown.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (shown.isValid() && qint64(shown.width()) * shown.height() > req.maxPixels)
        return result;

    if (shown.isValid() && shown != result.naturalSize) {
        QImage preview = take_preview(*raw, result.naturalSize, shown, req);
        if (!preview.isNull()) {
            // A file cut short may still hold its preview: shown, but as damaged.
            const auto *internal = raw->get_internal_data_pointer();
            const qint64 end =
                qint64(internal->unpacker_data.data_offset) + internal->unpacker_data.data_size;
            result.damaged = internal->unpacker_data.data_size > 0 && end > data.size();
            result.image = preview;
            result.ok = true;
            return result;
        }
        if (is_cancelled(req))
            return result;
    }
    // Half the sensor's size is enough when the shown picture is no larger.
    const QSize half = upright(QSize((stored.width() + 1) / 2, (stored.height() + 1) / 2), flip);
    const bool halfSize = shown.isValid() && covers(half, shown);
    QImage image = develop(*raw, halfSize, req);
    if (image.isNull() || is_cancelled(req))
        return result;
    if (!halfSize && image.size() != result.naturalSize)
        result.naturalSize = image.size(); // what LibRaw gives at 100 % is what is shown
    result.image = shown.isValid() ? fit_to(image, shown) : image;
    result.ok = !result.image.isNull();
    return result;
}

} // namespace vorn
