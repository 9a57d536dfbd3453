#include "codecs/image_memory.h"

#include "base/native_names.h"

#include <cerrno>
#include <limits>
#include <mutex>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace
{

// Pixels of `bytes` bytes on memory of their own, aligned to a huge page and advised to use huge
// pages. With `wholeHugePages` the length is rounded up to whole huge pages (the thread's scratch
// picture, which is kept and may be reused for a larger picture); otherwise the last, partial
// huge page is taken as a whole only when that adds at most an eighth, and stays on small pages
// elsewhere (the kernel puts a huge page only where the mapping covers all of it).
QImage mapped_image(int width, int height, QImage::Format format, bool wholeHugePages)
{
    const qsizetype bytesPerLine = qsizetype(width) * 4;
    const size_t bytes = size_t(bytesPerLine) * size_t(height);
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    const size_t roundedUp = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    const size_t length =
        wholeHugePages || roundedUp - bytes <= bytes / 8 ? roundedUp : (bytes + page - 1) / page * page;
    // One huge page more than needed, so the pixels can start on a huge-page boundary; what lies
    // before and after them is given back at once.
    void *base =
        mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return QImage(width, height, format);
    auto *start = reinterpret_cast<uchar *>((reinterpret_cast<quintptr>(base) + kHugePage - 1) &
                                            ~quintptr(kHugePage - 1));
    const size_t head = size_t(start - static_cast<uchar *>(base));
    if (head > 0)
        munmap(base, head);
    munmap(start + length, kHugePage - head);
#ifdef MADV_HUGEPAGE
    madvise(start, length, MADV_HUGEPAGE);
#endif
    auto *mapping = new Mapping{start, length};
    QImage image(start, width, height, bytesPerLine, format, unmap, mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
}

bool wants_mapping(int width, int height, QImage::Format format)
{
    return width > 0 && height > 0 && qsizetype(width) * 4 * height >= kHugePagePictureBytes &&
           QImage::toPixelFormat(format).bitsPerPixel() == 32;
}

} // namespace

QImage large_image(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return QImage();
    if (!wants_mapping(width, height, format))
        return QImage(width, height, format);
    return mapped_image(width, height, format, false);
}

namespace
{

// What a thread keeps between pictures; larger ones are not kept.
constexpr qsizetype kMaxKeptBytes = qsizetype(32) << 20;

thread_local QImage t_scratch;
thread_local QByteArray t_readBuffer;

} // namespace

QImage take_scratch_image(int width, int height, QImage::Format format)
{
    if (t_scratch.size() == QSize(width, height) && t_scratch.format() == format) {
        QImage image = std::move(t_scratch);
        t_scratch = QImage();
        return image;
    }
    if (!wants_mapping(width, height, format))
        return QImage(width, height, format);
    return mapped_image(width, height, format, true);
}

void give_back_scratch_image(QImage image)
{
    // Kept only when nothing else holds its pixels.
    if (!image.isNull() && image.sizeInBytes() <= kMaxKeptBytes && image.isDetached())
        t_scratch = std::move(image);
}

QByteArray read_whole_file(const QString &path)
{
    const int fd = ::open(native_path(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct stat st {
    };
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
        qint64(st.st_size) > std::numeric_limits<qsizetype>::max() / 2) {
        ::close(fd);
        return {};
    }
    // The buffer of the last read is used again when no caller holds it any more.
    QByteArray data;
    if (t_readBuffer.isDetached() && t_readBuffer.capacity() >= qsizetype(st.st_size))
        data = std::move(t_readBuffer);
    t_readBuffer = QByteArray();
    data.resize(qsizetype(st.st_size));
    qsizetype done = 0;
    // A file that shrinks while it is read ends where it ends now.
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    data.resize(done);
    if (data.capacity() <= kMaxKeptBytes)
        t_readBuffer = data; // shared with the caller until it lets go
    return data;
}

void reuse_freed_memory()
{
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
        mallopt(M_TRIM_THRESHOLD, kKeptHeapTopBytes);
    });
#endif
}

} // namespace vorn
