// Feeds arbitrary bytes to the camera RAW decoder: at a fitted size (the embedded preview or a
// half-size development) and at the natural size (a full development).
#include "codecs/raw_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::DecodeRequest fitted;
    fitted.shownSize = QSize(64, 48);
    fitted.maxPixels = qint64(1) << 22;
    vorn::decode_raw(bytes, fitted);
    vorn::DecodeRequest natural;
    natural.maxPixels = qint64(1) << 20;
    vorn::decode_raw(bytes, natural);
    return 0;
}
