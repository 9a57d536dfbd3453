// Feeds arbitrary bytes to the AVIF decoder, fitted and at full size.
#include "codecs/avif_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::DecodeRequest fitted;
    fitted.shownSize = QSize(64, 48);
    fitted.maxPixels = qint64(1) << 22;
    vorn::decode_avif(bytes, fitted);
    vorn::DecodeRequest full;
    full.maxPixels = qint64(1) << 20;
    vorn::decode_avif(bytes, full);
    return 0;
}
