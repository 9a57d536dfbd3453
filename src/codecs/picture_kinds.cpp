#include "codecs/picture_kinds.h"

#include "codecs/apng_animation.h"
#include "codecs/avif_decoder.h"
#include "codecs/gif_decoder.h"
#include "codecs/heif_decoder.h"
#include "codecs/jxl_decoder.h"
#include "codecs/picture_loader.h"
#include "codecs/picture_probe.h"
#include "codecs/picture_shrink.h"
#include "codecs/png_decoder.h"
#include "codecs/raw_decoder.h"
#include "codecs/svg_decoder.h"
#include "codecs/tiff_decoder.h"
#include "codecs/webp_animation.h"
#include "codecs/webp_decoder.h"

#include <QHash>

namespace vorn
{

namespace
{

std::unique_ptr<AnimationDecoder> make_gif_decoder()
{
    return std::make_unique<GifDecoder>();
}

// Extensions are separated by spaces; null: those the decoder's library reads (RAW). A row
// without a decoder keeps its extensions out of the pictures until one is filled in.
struct Row {
    PictureKind kind;
    const char *extensions;
    PictureDecoder decode;
    AnimationFactory animation;
    PictureProbe probe;
    bool transparent;
    bool vector;
    bool reduced;
};

// clang-format off
const Row kRows[] = {
    // kind               extensions        decoder              animation         probe           transp vector reduced
    {PictureKind::Jpeg, "jpg jpeg jpe",     decode_jpeg_picture, nullptr,          probe_jpeg_size, false, false, true},
    {PictureKind::Bmp,  "bmp",              decode_bmp_picture,  nullptr,          nullptr,         false, false, false},
    {PictureKind::Ico,  "ico",              decode_ico_picture,  nullptr,          nullptr,         true,  false, false},
    {PictureKind::Gif,  "gif",              decode_gif_picture,  make_gif_decoder, nullptr,         false, false, false},
    {PictureKind::Wmf,  "wmf",              decode_wmf_picture,  nullptr,          nullptr,         true,  true,  false},
    {PictureKind::Png,  "png apng",         decode_png_picture,  make_apng_animation, probe_png_size, true, false, false},
    {PictureKind::Webp, "webp",             decode_webp,         make_webp_animation, probe_webp_size, true, false, true},
    {PictureKind::Avif, "avif",             decode_avif,         nullptr,          nullptr,         true,  false, false},
    {PictureKind::Heif, "heic heif hif",    decode_heif,         nullptr,          probe_heif_size, true,  false, true},
    {PictureKind::Jxl,  "jxl",              decode_jxl,          make_jxl_animation, probe_jxl_size, true, false, true},
    {PictureKind::Tiff, "tif tiff",         decode_tiff_picture, make_tiff_pages,  probe_tiff_size, true,  false, true},
    {PictureKind::Svg,  "svg svgz",         decode_svg_picture,  nullptr,          nullptr,         true,  true,  false},
    {PictureKind::Raw,  nullptr,            decode_raw,          nullptr,          probe_raw_size,  false, false, true},
};
// clang-format on

struct Table {
    std::vector<PictureKindInfo> rows;
    QHash<QString, PictureKind> byExtension; // kinds with a decoder only
    QStringList extensions;
    PictureKindInfo none;

    Table()
    {
        for (const Row &r : kRows) {
            PictureKindInfo info;
            info.kind = r.kind;
            info.decode = r.decode;
            info.animation = r.animation;
            info.probe = r.probe;
            info.transparent = r.transparent;
            info.vector = r.vector;
            info.reduced = r.reduced;
            info.extensions = (r.extensions ? QString::fromLatin1(r.extensions) : raw_extensions())
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (r.decode) {
                for (const QString &e : info.extensions) {
                    byExtension.insert(e, r.kind);
                    extensions.append(QLatin1Char('.') + e);
                }
            }
            rows.push_back(std::move(info));
        }
    }
};

const Table &table()
{
    static const Table t;
    return t;
}

} // namespace

std::span<const PictureKindInfo> picture_kind_table()
{
    return table().rows;
}

const PictureKindInfo &picture_kind_info(PictureKind kind)
{
    for (const PictureKindInfo &info : table().rows)
        if (info.kind == kind)
            return info;
    return table().none;
}

PictureKind picture_kind(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return PictureKind::Unknown;
    return table().byExtension.value(fileName.mid(dot + 1).toLower(), PictureKind::Unknown);
}

QStringList picture_extensions()
{
    return table().extensions;
}

bool is_animated_kind(PictureKind kind)
{
    return picture_kind_info(kind).animation != nullptr;
}

bool is_transparent_kind(PictureKind kind)
{
    return picture_kind_info(kind).transparent;
}

LoadedPicture decode_picture(const QByteArray &data, PictureKind kind, const DecodeRequest &request)
{
    const PictureDecoder decode = picture_kind_info(kind).decode;
    if (!decode || data.isEmpty()) {
        LoadedPicture failed;
        failed.kind = kind;
        return failed;
    }
    LoadedPicture picture = decode(data, request);
    picture.kind = kind;
    return picture;
}

std::unique_ptr<AnimationDecoder> make_animation_decoder(PictureKind kind)
{
    const AnimationFactory make = picture_kind_info(kind).animation;
    return make ? make() : nullptr;
}

QSize requested_size(const DecodeRequest &request, QSize natural)
{
    return request.rule ? (*request.rule)(natural) : request.shownSize;
}

QImage fit_to(const QImage &image, QSize shown)
{
    if (!shown.isValid())
        return image;
    if (shown.isEmpty())
        return QImage();
    if (image.size() == shown)
        return image;
    return shrink_image(image, shown);
}

bool within_pixels(QSize size, qint64 maxPixels)
{
    return size.width() > 0 && size.height() > 0 && qint64(size.width()) * size.height() <= maxPixels;
}

int still_frame_index(const DecodeRequest &request, int frameCount, QSize canvas)
{
    if (!request.middleFrame || frameCount < 2)
        return 0;
    const qint64 pixels =
        std::max<qint64>(1, qint64(std::max(canvas.width(), 1)) * std::max(canvas.height(), 1));
    const qint64 reachable = std::max<qint64>(0, request.maxAnimationWork / pixels - 1);
    return int(std::min<qint64>(frameCount / 2, reachable));
}

LoadedPicture decode_animation_frame(AnimationDecoder &decoder, const QByteArray &data, PictureKind kind,
                                     const DecodeRequest &request)
{
    LoadedPicture result;
    result.kind = kind;
    QImage image;
    int delay = 0;
    if (data.isEmpty() || !decoder.open(data, request.maxPixels) || !decoder.next(&image, &delay))
        return result;
    result.frameCount = decoder.frameCount();
    for (int i = still_frame_index(request, decoder.frameCount(), decoder.size()); i > 0; --i) {
        if ((request.cancelled && request.cancelled()) || !decoder.next(&image, &delay))
            return result;
    }
    if (image.isNull() || !within_pixels(image.size(), request.maxPixels))
        return result;
    result.naturalSize = image.size();
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    result.image = fit_to(image, requested_size(request, result.naturalSize));
    result.ok = true;
    return result;
}

} // namespace vorn
