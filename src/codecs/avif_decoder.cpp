#include "codecs/avif_decoder.h"

#include "codecs/decoded_picture.h"
#include "codecs/image_memory.h"
#include "codecs/picture_colour.h"
#include "codecs/picture_kinds.h"
#include "codecs/picture_orientation.h"

#include <avif/avif.h>

#include <memory>

namespace vorn
{

namespace
{

struct AvifDecoderFree {
    void operator()(avifDecoder *d) const { avifDecoderDestroy(d); }
};

// The EXIF orientation that turns a picture as its boxes say: first irot (quarter turns
// anticlockwise), then imir (0: top and bottom exchanged, 1: left and right).
int boxes_orientation(const avifImage *image)
{
    static const int kByTurnsAndMirror[4][3] = {{1, 4, 2}, {8, 5, 7}, {3, 2, 4}, {6, 7, 5}};
    const int turns = (image->transformFlags & AVIF_TRANSFORM_IROT) ? image->irot.angle % 4 : 0;
    const int mirror = (image->transformFlags & AVIF_TRANSFORM_IMIR) ? 1 + (image->imir.mode & 1) : 0;
    return kByTurnsAndMirror[turns][mirror];
}

bool is_hdr_transfer(int transfer)
{
    return transfer == AVIF_TRANSFER_CHARACTERISTICS_SMPTE2084 ||
           transfer == AVIF_TRANSFER_CHARACTERISTICS_HLG;
}

// The decoded frame as RGB: 8-bit BGRA (premultiplied when it has alpha) for the screen, or
// 16 bits a channel when an HDR transfer is still to be mapped.
QImage to_image(const avifImage *frame, bool alpha, bool deep)
{
    const QImage::Format format = deep ? (alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                       : (alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    QImage image = deep ? QImage(int(frame->width), int(frame->height), format)
                        : large_image(int(frame->width), int(frame->height), format);
    if (image.isNull())
        return image;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, frame);
    if (deep) {
        rgb.format = AVIF_RGB_FORMAT_RGBA;
        rgb.depth = 16;
    } else {
        rgb.format =
            QSysInfo::ByteOrder == QSysInfo::LittleEndian ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_ARGB;
        rgb.depth = 8; // 10 and 12 bits are scaled to 8 by the library
        rgb.alphaPremultiplied = alpha ? AVIF_TRUE : AVIF_FALSE;
    }
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
    if (!within_pixels(stored, req.maxPixels))
        return result;
    const int orientation = boxes_orientation(header);
    result.naturalSize = oriented_size(stored, orientation);
    result.frameCount = decoder->imageCount;
    const QSize shown = requested_size(req, result.naturalSize);
    if (shown.isValid() && shown.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (is_cancelled(req))
        return result;
    const int index = still_frame_index(req, decoder->imageCount, stored);
    if (avifDecoderNthImage(decoder.get(), uint32_t(index)) != AVIF_RESULT_OK || is_cancelled(req))
        return result;
    const avifImage *frame = decoder->image;
    if (QSize(int(frame->width), int(frame->height)) != stored)
        return result;
    const bool alpha = frame->alphaPlane != nullptr;
    const bool hdr =
        frame->icc.size == 0 && frame->depth > 8 && is_hdr_transfer(frame->transferCharacteristics);
    QImage image = to_image(frame, alpha, hdr);
    if (image.isNull())
        return result;
    image = fit_to(image, oriented_size(shown, orientation));
    // A profile wins over the coded colour, as the colr boxes are read by other viewers.
    if (frame->icc.size > 0)
        convert_icc_to_srgb(
            &image, QByteArray(reinterpret_cast<const char *>(frame->icc.data), qsizetype(frame->icc.size)));
    else
        convert_cicp_to_srgb(&image, frame->colorPrimaries, frame->transferCharacteristics);
    to_display_format(&image, alpha);
    result.image = apply_exif_orientation(image, orientation);
    result.ok = !result.image.isNull();
    return result;
}

} // namespace vorn
