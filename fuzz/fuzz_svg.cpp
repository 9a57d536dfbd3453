// Feeds arbitrary bytes to the SVG decoder: the self-contained rewrite and the rendering, at a
// fitted and at the natural size.
#include "codecs/picture_loader.h"
#include "codecs/svg_decoder.h"
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
    (void)vorn::self_contained_svg(bytes);
    vorn::load_picture(bytes, vorn::PictureKind::Svg, QSize(64, 48), qint64(1) << 22);
    vorn::load_picture(bytes, vorn::PictureKind::Svg, QSize(), qint64(1) << 20);
    return 0;
}
