#include "codecs/png_decoder.h"

#include "codecs/apng_animation.h"
#include "codecs/image_memory.h"
#include "codecs/picture_colour.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_orientation.h"

#include <QColorSpace>
#include <QSysInfo>
#include <QtEndian>

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace vorn
{

namespace
{

// Ancillary chunks (text, iCCP) are decompressed up to this size; larger ones are dropped.
constexpr png_alloc_size_t kMaxChunkBytes = 16 << 20;
constexpr int kRowsBetweenChecks = 64;

struct Source {
    const uchar *data;
    size_t size;
    size_t at = 0;
};

extern "C" void png_read_bytes(png_structp png, png_bytep out, size_t n)
{
    auto *src = static_cast<Source *>(png_get_io_ptr(png));
    if (n > src->size - src->at)
        png_error(png, "cut short");
    memcpy(out, src->data + src->at, n);
    src->at += n;
}

extern "C" void png_fail(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

extern "C" void png_quiet(png_structp, png_const_charp) {}

// What the decode hands back; lives in the caller's frame so nothing must survive the longjmp.
struct PngState {
    QImage image; // as stored, before orientation
    bool scratch = false;
    int rowsDone = 0;
    bool interlaced = false;
    QByteArray icc;
    bool srgb = false;
    double gamma = 0; // file gamma (0: none)
    bool chromaticities = false;
    double wx = 0, wy = 0, rx = 0, ry = 0, gx = 0, gy = 0, bx = 0, by = 0;
    int orientation = 1;
    QSize stored;
    QSize shown; // upright, as asked (invalid: natural)
};

void read_exif(png_structp png, png_infop info, PngState *st)
{
    png_bytep exif = nullptr;
    png_uint_32 size = 0;
    if (info && png_get_eXIf_1(png, info, &size, &exif) && exif && size > 0)
        st->orientation = exif_orientation(QByteArray(reinterpret_cast<const char *>(exif), qsizetype(size)));
}

void read_colour(png_structp png, png_infop info, PngState *st)
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &length) && profile && length > 0)
        st->icc = QByteArray(reinterpret_cast<const char *>(profile), qsizetype(length));
    int intent = 0;
    st->srgb = png_get_sRGB(png, info, &intent) != 0;
    png_get_gAMA(png, info, &st->gamma);
    st->chromaticities =
        png_get_cHRM(png, info, &st->wx, &st->wy, &st->rx, &st->ry, &st->gx, &st->gy, &st->bx, &st->by) != 0;
}

bool decode(const QByteArray &data, const DecodeRequest &request, PngState *st)
{
    Source src{reinterpret_cast<const uchar *>(data.constData()), size_t(data.size())};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_quiet);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    png_infop end = png_create_info_struct(png);
    if (!info || !end) {
        png_destroy_read_struct(&png, &info, &end);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        // Every row is in: a broken chunk after the image data costs nothing shown.
        const bool complete = !st->image.isNull() && st->rowsDone == st->image.height() && !st->interlaced;
        png_destroy_read_struct(&png, &info, &end);
        return complete;
    }
    png_set_read_fn(png, &src, png_read_bytes);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff); // checked against maxPixels below
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    static const png_byte kText[] = "tEXt\0zTXt\0iTXt\0";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kText, 3);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || qint64(width) * height > request.maxPixels) {
        png_destroy_read_struct(&png, &info, &end);
        return false;
    }
    st->stored = QSize(int(width), int(height));
    read_exif(png, info, st);
    read_colour(png, info, st);
    st->shown = requested_size(request, oriented_size(st->stored, st->orientation));

    const int colourType = png_get_color_type(png, info);
    png_set_expand(png); // palette to RGB, gray below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    const bool gray = !(colourType & PNG_COLOR_MASK_COLOR);
    QImage::Format format;
    if (gray && !alpha) {
        format = QImage::Format_Grayscale8;
    } else {
        if (gray)
            png_set_gray_to_rgb(png);
        if (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
            png_set_bgr(png); // QRgb in memory: B, G, R, A
            if (!alpha)
                png_set_filler(png, 0xff, PNG_FILLER_AFTER);
        } else {
            if (alpha)
                png_set_swap_alpha(png);
            else
                png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
        }
        format = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    }
    const int passes = png_set_interlace_handling(png);
    st->interlaced = passes > 1;
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(width) * (format == QImage::Format_Grayscale8 ? 1 : 4)) {
        png_destroy_read_struct(&png, &info, &end);
        return false;
    }
    const QSize storedShown = oriented_size(st->shown, st->orientation);
    st->scratch = format != QImage::Format_Grayscale8 && st->shown.isValid() && storedShown != st->stored;
    if (format == QImage::Format_Grayscale8)
        st->image = QImage(int(width), int(height), format);
    else
        st->image = st->scratch ? take_scratch_image(int(width), int(height), format)
                                : large_image(int(width), int(height), format);
    if (st->image.isNull()) {
        png_destroy_read_struct(&png, &info, &end);
        return false;
    }
    if (st->interlaced)
        st->image.fill(0); // earlier passes read what is there
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if (y % kRowsBetweenChecks == 0 && request.cancelled && request.cancelled()) {
                png_destroy_read_struct(&png, &info, &end);
                st->rowsDone = 0;
                return false;
            }
            png_read_row(png, st->image.scanLine(int(y)), nullptr);
            if (pass == passes - 1)
                st->rowsDone = int(y) + 1;
        }
    }
    png_read_end(png, end);
    if (st->orientation == 1)
        read_exif(png, end, st); // eXIf may follow the image data
    png_destroy_read_struct(&png, &info, &end);
    return true;
}

// The colour chunks in their order of precedence: a profile, then sRGB (nothing to do), then
// gamma with or without chromaticities.
void to_srgb(QImage *image, const PngState &st)
{
    if (!st.icc.isEmpty()) {
        convert_icc_to_srgb(image, st.icc);
        return;
    }
    if (st.srgb || st.gamma <= 0)
        return;
    const bool srgbGamma = std::abs(st.gamma - 1 / 2.2) < 0.01;
    QColorSpace space;
    if (st.chromaticities && st.wy > 0 && st.ry > 0 && st.gy > 0 && st.by > 0) {
        space = QColorSpace(
            QPointF(st.wx, st.wy), QPointF(st.rx, st.ry), QPointF(st.gx, st.gy), QPointF(st.bx, st.by),
            srgbGamma ? QColorSpace::TransferFunction::SRgb : QColorSpace::TransferFunction::Gamma,
            float(1 / st.gamma));
        if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb))
            return;
    } else if (!srgbGamma) {
        space = QColorSpace(QColorSpace::Primaries::SRgb, float(1 / st.gamma));
    } else {
        return;
    }
    if (!space.isValid())
        return;
    if (image->format() == QImage::Format_Grayscale8)
        image->convertTo(QImage::Format_RGB32);
    image->setColorSpace(space);
    image->convertToColorSpace(QColorSpace::SRgb);
}

} // namespace

LoadedPicture decode_png_picture(const QByteArray &data, const DecodeRequest &request)
{
    LoadedPicture result;
    result.kind = PictureKind::Png;
    // An animated PNG counts its frames; a thumbnail takes its middle frame from the animation,
    // the view shows the default image until the animation plays.
    int frames = 1;
    if (png_animation_info(data).frames > 1) {
        ApngAnimation animation;
        if (animation.open(data, request.maxPixels)) {
            if (request.middleFrame) {
                result = decode_animation_frame(animation, data, PictureKind::Png, request);
                if (result.ok)
                    return result;
            }
            frames = animation.frameCount();
        }
    }
    PngState st;
    if (data.isEmpty() || !decode(data, request, &st)) {
        if (st.scratch)
            give_back_scratch_image(std::move(st.image));
        return result;
    }
    result.naturalSize = oriented_size(st.stored, st.orientation);
    result.frameCount = frames;
    QImage image = std::move(st.image);
    if (st.shown.isValid()) {
        QImage decoded = std::move(image);
        image = fit_to(decoded, oriented_size(st.shown, st.orientation));
        if (st.scratch) {
            if (image.constBits() == decoded.constBits())
                image = image.copy(); // never hand out the scratch picture itself
            give_back_scratch_image(std::move(decoded));
        }
    }
    to_srgb(&image, st);
    if (image.format() == QImage::Format_ARGB32)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    else if (image.format() == QImage::Format_Grayscale8)
        image.convertTo(QImage::Format_RGB32);
    result.image = apply_exif_orientation(image, st.orientation);
    result.ok = true;
    return result;
}

QSize probe_png_size(const QByteArray &head)
{
    // Signature, then chunks: length, type, data, CRC. IHDR comes first.
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (head.size() < 33 || memcmp(head.constData(), kSignature, 8) != 0 || head.mid(12, 4) != "IHDR")
        return QSize();
    const uchar *p = reinterpret_cast<const uchar *>(head.constData());
    const quint32 w = qFromBigEndian<quint32>(p + 16), h = qFromBigEndian<quint32>(p + 20);
    if (w == 0 || h == 0 || w > 0x7fffffff || h > 0x7fffffff)
        return QSize();
    const QSize stored{int(w), int(h)};
    qsizetype at = 8;
    while (at + 8 <= head.size()) {
        const quint32 length = qFromBigEndian<quint32>(p + at);
        const QByteArray type = head.mid(at + 4, 4);
        if (type == "IDAT" || length > 0x7fffffff)
            break;
        if (type == "eXIf") {
            if (at + 8 + qsizetype(length) > head.size())
                break;
            return oriented_size(stored, exif_orientation(head.mid(at + 8, length)));
        }
        at += 12 + qsizetype(length);
    }
    return stored;
}

} // namespace vorn
