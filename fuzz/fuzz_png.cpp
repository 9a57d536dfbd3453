// Feeds arbitrary bytes to the PNG decoder, at a fitted and at the full size, probes them, and
// plays them as an animated PNG.
#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"
#include "codecs/png_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::load_picture(bytes, vorn::PictureKind::Png, QSize(64, 48), qint64(1) << 22);
    vorn::load_picture(bytes, vorn::PictureKind::Png, QSize(), qint64(1) << 20);
    (void)vorn::probe_png_size(bytes);
    // The animation path: a thumbnail's middle frame, and the frames as they play.
    vorn::DecodeRequest thumb;
    thumb.middleFrame = true;
    thumb.shownSize = QSize(32, 24);
    thumb.maxPixels = qint64(1) << 20;
    vorn::decode_picture(bytes, vorn::PictureKind::Png, thumb);
    if (auto animation = vorn::make_animation_decoder(vorn::PictureKind::Png);
        animation && animation->open(bytes, qint64(1) << 20)) {
        QImage frame;
        int delay = 0;
        for (int i = 0; i < 64 && animation->next(&frame, &delay); ++i) {
        }
    }
    return 0;
}
