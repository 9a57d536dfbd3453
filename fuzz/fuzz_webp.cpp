// Feeds arbitrary bytes to the WebP decoder, fitted, at full size, as a thumbnail (the middle frame), and its
// animation played.
#include "codecs/webp_animation.h"
#include "codecs/webp_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::DecodeRequest fitted;
    fitted.shownSize = QSize(64, 48);
    fitted.maxPixels = qint64(1) << 22;
    vorn::decode_webp(bytes, fitted);
    vorn::DecodeRequest full;
    full.maxPixels = qint64(1) << 20;
    vorn::decode_webp(bytes, full);
    vorn::DecodeRequest thumbnail = fitted;
    thumbnail.middleFrame = true;
    vorn::decode_webp(bytes, thumbnail);
    // The animation: every frame once.
    vorn::WebpAnimation animation;
    if (animation.open(bytes, qint64(1) << 20)) {
        QImage frame;
        int delay = 0;
        for (int i = 0; i < 64 && animation.next(&frame, &delay); ++i) {
        }
    }
    return 0;
}
