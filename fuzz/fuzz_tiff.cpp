// Feeds arbitrary bytes to the TIFF decoder (first and middle page, fitted and full size), plays
// its pages, and probes them.
#include "codecs/picture_kinds.h"
#include "codecs/picture_loader.h"
#include "codecs/tiff_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::load_picture(bytes, vorn::PictureKind::Tiff, QSize(64, 48), qint64(1) << 22);
    vorn::load_picture_sized(
        bytes, vorn::PictureKind::Tiff,
        [](QSize natural) { return natural.scaled(32, 32, Qt::KeepAspectRatio); }, qint64(1) << 20);
    (void)vorn::probe_tiff_size(bytes);
    // The pages as frames: every page once.
    const std::unique_ptr<vorn::AnimationDecoder> pages = vorn::make_tiff_pages();
    if (pages->open(QByteArray(bytes.constData(), bytes.size()), qint64(1) << 20)) {
        QImage frame;
        int delay = 0;
        for (int i = 0; i < 16 && pages->next(&frame, &delay); ++i) {
        }
    }
    return 0;
}
