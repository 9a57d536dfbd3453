// Feeds arbitrary bytes to the BMP path of the picture loader, at a fitted and at the full size.
#include "codecs/picture_loader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::load_picture(bytes, vorn::PictureKind::Bmp, QSize(64, 48), qint64(1) << 22);
    vorn::load_picture(bytes, vorn::PictureKind::Bmp, QSize(), qint64(1) << 20);
    return 0;
}
