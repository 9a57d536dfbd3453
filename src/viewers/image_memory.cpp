#include "viewers/image_memory.h"

#include <sys/mman.h>

namespace vorn
{

namespace
{

constexpr size_t kHugePage = size_t(2) << 20;

struct Mapping {
    void *base;
    size_t length;
};

void unmap(void *info)
{
    auto *m = static_cast<Mapping *>(info);
    munmap(m->base, m->length);
    delete m;
}

} // namespace

QImage large_image(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return QImage();
    const qsizetype bytesPerLine = qsizetype(width) * 4;
    const qsizetype bytes = bytesPerLine * height;
    if (bytes < kHugePagePictureBytes || QImage::toPixelFormat(format).bitsPerPixel() != 32)
        return QImage(width, height, format);
    // One huge page more than needed, so the pixels can start on a huge-page boundary.
    const size_t length = (size_t(bytes) + kHugePage - 1) / kHugePage * kHugePage + kHugePage;
    void *base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return QImage(width, height, format);
    auto *start =
        reinterpret_cast<uchar *>((reinterpret_cast<quintptr>(base) + kHugePage - 1) & ~(kHugePage - 1));
#ifdef MADV_HUGEPAGE
    madvise(start, length - size_t(start - static_cast<uchar *>(base)), MADV_HUGEPAGE);
#endif
    auto *mapping = new Mapping{base, length};
    QImage image(start, width, height, bytesPerLine, format, unmap, mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
}

} // namespace vorn
