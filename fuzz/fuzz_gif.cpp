// Feeds arbitrary bytes to the GIF path of the picture loader, at a fitted and at the full size,
// and plays its animation.
#include "codecs/picture_loader.h"
#include "fuzz_gui.h"

#include <QMovie>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    return make_offscreen_app(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    // A low pixel guard keeps huge claimed sizes from exhausting the fuzzer's memory.
    vorn::load_picture(bytes, vorn::PictureKind::Gif, QSize(64, 48), qint64(1) << 22);
    vorn::load_picture(bytes, vorn::PictureKind::Gif, QSize(), qint64(1) << 20);
    // The animation: every frame once.
    if (auto movie =
            vorn::make_picture_movie(QByteArray(bytes.constData(), bytes.size()), vorn::PictureKind::Gif)) {
        for (int i = 0; i < 64 && movie->jumpToNextFrame(); ++i)
            (void)movie->currentImage();
    }
    return 0;
}
