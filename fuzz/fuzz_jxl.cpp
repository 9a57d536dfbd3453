// Feeds arbitrary bytes to the JPEG XL decoder, fitted as the picture view asks (the 1/8 image as
// a first look where small enough) and at full size, and plays them as an animation.
#include "codecs/jxl_decoder.h"
#include "codecs/picture_kinds.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::DecodeRequest fitted;
    fitted.shownSize = QSize(64, 48);
    fitted.maxPixels = qint64(1) << 22;
    fitted.coarseFirst = true;
    vorn::decode_jxl(bytes, fitted);
    vorn::DecodeRequest full;
    full.maxPixels = qint64(1) << 20;
    vorn::decode_jxl(bytes, full);
    // The animation path: a thumbnail's middle frame, and the frames as they play.
    vorn::DecodeRequest thumb;
    thumb.middleFrame = true;
    thumb.shownSize = QSize(32, 24);
    thumb.maxPixels = qint64(1) << 20;
    vorn::decode_picture(bytes, vorn::PictureKind::Jxl, thumb);
    if (auto animation = vorn::make_animation_decoder(vorn::PictureKind::Jxl);
        animation && animation->open(bytes, qint64(1) << 20)) {
        QImage frame;
        int delay = 0;
        for (int i = 0; i < 64 && animation->next(&frame, &delay); ++i) {
        }
    }
    return 0;
}
