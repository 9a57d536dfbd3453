#include "codecs/avif_decoder.h"

#include "codecs/decoded_picture.h"
#include "codecs/image_memory.h"

#include <avif/avif.h>

#include <memory>

namespace vorn
{

namespace
{

struct AvifDecoderFree {
    void operator()(avifDecoder *d) const { avifDecoderDestroy(d); }
};

// The decoded frame converted to 8-bit BGRA (premultiplied when it has alpha) in a picture of
// its own.
QImage to_image(const avifImage *frame, bool alpha)
{
    QImage image = large_image(int(frame->width), int(frame->height),
                               alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, frame);
    rgb.format = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
    rgb.depth = 8; // 10 and 12 bits are scaled to 8 by the library
    rgb.alphaPremultiplied = alpha ? AVIF_TRUE : AVIF_FALSE;
    rgb.pixels = image.bits();
    rgb.rowBytes = uint32_t(image.bytesPerLine());
    if (avifImageYUVToRGB(frame, &rgb) != AVIF_RESULT_OK)
        return QImage();
    return image;
}

} // namespace

LoadedPicture decode_avif(const QByteArray &data, const DecodeRequest &req)
{
    LoadedPicture result;
    result.kind = PictureKind::Avif;
    if (data.isEmpty())
        return result;
    std::unique_ptr<avifDecoder, AvifDecoderFree> decoder(avifDecoderCreate());
    if (!decoder)
        return result;
    decoder->maxThreads = 2;
    decoder->imageSizeLimit = uint32_t(std::min<qint64>(req.maxPixels, AVIF_DEFAULT_IMAGE_SIZE_LIMIT));
    decoder->imageDimensionLimit = AVIF_DEFAULT_IMAGE_DIMENSION_LIMIT;
    // Files without a pixi box are common among the first writers and decode well; the other
    // checks (a valid clean aperture, the alpha plane's size) stay on.
    decoder->strictFlags = AVIF_STRICT_ENABLED & ~AVIF_STRICT_PIXI_REQUIRED;
    decoder->ignoreXMP = AVIF_TRUE;
    decoder->ignoreExif = AVIF_TRUE; // the boxes, not Exif, say how the picture stands
    if (avifDecoderSetIOMemory(decoder.get(), reinterpret_cast<const uint8_t *>(data.constData()),
                               size_t(data.size())) != AVIF_RESULT_OK ||
        avifDecoderParse(decoder.get()) != AVIF_RESULT_OK || decoder->imageCount < 1)
        return result;
    const avifImage *header = decoder->image;
    const QSize stored(int(header->width), int(header->height));
    if (!within_pixel_limit(stored, req.maxPixels))
        return result;
    const int turns = (header->transformFlags & AVIF_TRANSFORM_IROT) ? header->irot.angle % 4 : 0;
    const int mirror = (header->transformFlags & AVIF_TRANSFORM_IMIR) ? header->imir.mode : -1;
    const bool swaps = turns % 2 == 1;
    result.naturalSize = stored_size(stored, swaps);
    result.frameCount = decoder->imageCount;
    const QSize shown = requested_size(req, result.naturalSize);
    if (shown.isValid() && shown.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (is_cancelled(req))
        return result;
    const int index = req.middleFrame ? decoder->imageCount / 2 : 0;
    if (avifDecoderNthImage(decoder.get(), uint32_t(index)) != AVIF_RESULT_OK || is_cancelled(req))
        return result;
    const avifImage *frame = decoder->image;
    if (QSize(int(frame->width), int(frame->height)) != stored)
        return result;
    QImage image = to_image(frame, frame->alphaPlane != nullptr);
    if (image.isNull())
        return result;
    image = scaled_exactly(image, stored_size(shown, swaps));
    result.image = apply_rotation_mirror(image, turns, mirror);
    result.ok = !result.image.isNull();
    return result;
}

} // namespace vorn
