// Feeds arbitrary bytes to the ZIP engine as an archive: the engine's own reading of the
// central directory (names, sizes, overlap check), the listing, and the library's reading.
#include "archives/zip_archive.h"
#include "archives/zip_directory.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The extraction below names no folder on purpose; Qt's warning about it is not news.
    static const auto quiet =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    (void)quiet;
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const vorn::ZipDirectory dir = vorn::read_central_directory(
        [&bytes](qint64 off, char *buf, qint64 len) -> qint64 {
            if (off < 0 || off > bytes.size())
                return -1;
            const qint64 n = std::min<qint64>(len, bytes.size() - off);
            memcpy(buf, bytes.constData() + off, size_t(n));
            return n;
        },
        bytes.size());
    const std::vector<bool> overlap = vorn::overlapping_records(dir.records);
    if (overlap.size() != dir.records.size() || (!dir.complete && !dir.records.empty()))
        __builtin_trap();
    for (const vorn::ZipDirRecord &r : dir.records)
        if (r.name.isEmpty() != (r.nameLength == 0))
            __builtin_trap();

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    vorn::ZipArchive zip;
    if (zip.open(&buffer)) {
        for (const vorn::ZipEntry &e : zip.entries()) {
            if (e.key != e.name.toLower())
                __builtin_trap();
            (void)vorn::check_entry_name(e.name);
            (void)e.time();
        }
        // the library opens the same bytes for reading entries: nothing may be written
        (void)zip.extract({}, QString(), {});
    } else if (!zip.entries().empty()) {
        __builtin_trap();
    }
    return 0;
}
