// Feeds arbitrary bytes to the HEIF size probe (as the first bytes of a file) and to the decoder,
// fitted (the file's thumbnail where it is large enough) and at full size.
#include "codecs/heif_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    vorn::probe_heif_size(bytes);
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::DecodeRequest fitted;
    fitted.shownSize = QSize(64, 48);
    fitted.maxPixels = qint64(1) << 22;
    vorn::decode_heif(bytes, fitted);
    vorn::DecodeRequest full;
    full.maxPixels = qint64(1) << 20;
    vorn::decode_heif(bytes, full);
    return 0;
}
