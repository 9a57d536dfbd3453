// Feeds arbitrary bytes to the PNG decoder, at a fitted and at the full size, and probes them.
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
    return 0;
}
