// Feeds arbitrary bytes to the WMF player: header and record checks, then drawing.
#include "codecs/picture_loader.h"
#include "fuzz_gui.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    return make_offscreen_app(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    vorn::load_picture(bytes, vorn::PictureKind::Wmf, QSize(64, 48), qint64(1) << 16);
    return 0;
}
