#include "support/zip_fixtures.h"

#include "archives/zip_bytes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtEndian>
#include <cstdlib>
#include <cstring>
#include <zip.h>

namespace vorn::test
{

namespace
{

using namespace zipbytes;

struct Written {
    quint64 offset;
    quint64 packed;
    quint64 size;
    quint32 crc;
    quint16 method;
};

QByteArray centralRecord(const RawZipEntry &e, const Written &w, bool zip64)
{
    QByteArray r;
    put32(r, 0x02014b50);
    put16(r, (3 << 8) | 45); // made by Unix, version 4.5
    put16(r, zip64 ? 45 : 20);
    put16(r, e.utf8Flag ? 0x800 : 0);
    put16(r, w.method);
    put16(r, 0x6000); // 12:00
    put16(r, ((2020 - 1980) << 9) | (5 << 5) | 17);
    put32(r, w.crc);
    QByteArray extra;
    if (zip64) {
        put16(extra, 1);
        put16(extra, 24);
        put64(extra, w.size);
        put64(extra, w.packed);
        put64(extra, w.offset);
    }
    put32(r, zip64 ? 0xffffffffu : quint32(w.packed));
    put32(r, zip64 ? 0xffffffffu : quint32(w.size));
    put16(r, quint32(e.name.size()));
    put16(r, quint32(extra.size()));
    put16(r, 0);
    put16(r, 0);
    put16(r, 0);
    put32(r, e.unixMode << 16);
    put32(r, zip64 ? 0xffffffffu : quint32(w.offset));
    r += e.name;
    r += extra;
    return r;
}

QByteArray endRecords(quint64 count, quint64 dirOffset, quint64 dirSize, bool zip64)
{
    QByteArray r;
    if (zip64) {
        const quint64 z64 = dirOffset + dirSize;
        put32(r, 0x06064b50);
        put64(r, 44);
        put16(r, 45);
        put16(r, 45);
        put32(r, 0);
        put32(r, 0);
        put64(r, count);
        put64(r, count);
        put64(r, dirSize);
        put64(r, dirOffset);
        put32(r, 0x07064b50);
        put32(r, 0);
        put64(r, z64);
        put32(r, 1);
    }
    put32(r, 0x06054b50);
    put16(r, 0);
    put16(r, 0);
    put16(r, zip64 ? 0xffff : quint32(count));
    put16(r, zip64 ? 0xffff : quint32(count));
    put32(r, zip64 ? 0xffffffffu : quint32(dirSize));
    put32(r, zip64 ? 0xffffffffu : quint32(dirOffset));
    put16(r, 0);
    return r;
}

QByteArray localHeader(const RawZipEntry &e, const Written &w, bool zip64)
{
    QByteArray r;
    put32(r, 0x04034b50);
    put16(r, zip64 ? 45 : 20);
    put16(r, e.utf8Flag ? 0x800 : 0);
    put16(r, w.method);
    put16(r, 0x6000);
    put16(r, ((2020 - 1980) << 9) | (5 << 5) | 17);
    put32(r, w.crc);
    QByteArray extra;
    if (zip64) {
        put16(extra, 1);
        put16(extra, 16);
        put64(extra, w.size);
        put64(extra, w.packed);
    }
    put32(r, zip64 ? 0xffffffffu : quint32(w.packed));
    put32(r, zip64 ? 0xffffffffu : quint32(w.size));
    put16(r, quint32(e.name.size()));
    put16(r, quint32(extra.size()));
    r += e.name;
    r += extra;
    return r;
}

} // namespace

quint32 crc32Of(const QByteArray &data)
{
    static quint32 table[256];
    static bool ready = false;
    if (!ready) {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    quint32 crc = 0xffffffffu;
    for (char ch : data)
        crc = table[(crc ^ uchar(ch)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}

QByteArray rawDeflate(const QByteArray &data)
{
    const QByteArray z = qCompress(data, 9); // 4 bytes size, zlib header (2), ..., adler (4)
    return z.mid(6, z.size() - 10);
}

QByteArray rawZip(const QList<RawZipEntry> &entries, bool zip64, quint64 shift)
{
    QByteArray out;
    QList<Written> written;
    for (const RawZipEntry &e : entries) {
        const QByteArray body = e.deflate && e.method < 0 ? rawDeflate(e.data) : e.data;
        const quint16 method = e.method >= 0 ? quint16(e.method) : quint16(e.deflate ? 8 : 0);
        const Written w{quint64(out.size()) + shift, quint64(body.size()), quint64(e.data.size()),
                        crc32Of(e.data), method};
        out += localHeader(e, w, zip64);
        out += body;
        written << w;
    }
    const quint64 dirOffset = quint64(out.size());
    for (qsizetype i = 0; i < entries.size(); ++i)
        out += centralRecord(entries[i], written[i], zip64);
    out += endRecords(quint64(entries.size()), dirOffset + shift, quint64(out.size()) - dirOffset, zip64);
    return out;
}

QByteArray overlapBomb(int copies, qsizetype size)
{
    const RawZipEntry kernel{"k", QByteArray(size, '\0'), true, 0100644, false};
    const QByteArray body = rawDeflate(kernel.data);
    const Written w{0, quint64(body.size()), quint64(size), crc32Of(kernel.data), 8};
    QByteArray out = localHeader(kernel, w, false) + body;
    const quint64 dirOffset = quint64(out.size());
    for (int i = 0; i < copies; ++i) {
        RawZipEntry e = kernel;
        e.name = QByteArray(1, char('a' + i % 26));
        out += centralRecord(e, w, false);
    }
    out += endRecords(quint64(copies), dirOffset, quint64(out.size()) - dirOffset, false);
    return out;
}

QStringList treeOf(const QString &root)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << QDir(root).relativeFilePath(it.filePath());
    }
    out.sort();
    return out;
}

bool writeLibzipArchive(const QString &path, const QList<std::pair<QByteArray, QByteArray>> &files,
                        const char *password, quint16 method, int compression)
{
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    for (const auto &[name, data] : files) {
        auto *copy = static_cast<char *>(malloc(size_t(std::max<qsizetype>(data.size(), 1))));
        memcpy(copy, data.constData(), size_t(data.size()));
        zip_source_t *src = zip_source_buffer(za, copy, zip_uint64_t(data.size()), 1);
        const zip_int64_t idx = src ? zip_file_add(za, name.constData(), src, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0 || (password && zip_file_set_encryption(za, zip_uint64_t(idx), method, password) != 0) ||
            (compression >= 0 && zip_set_file_compression(za, zip_uint64_t(idx), compression, 0) != 0)) {
            if (idx < 0 && src)
                zip_source_free(src);
            zip_discard(za);
            return false;
        }
    }
    return zip_close(za) == 0;
}

} // namespace vorn::test
