#include "archives/zip_directory.h"

#include <QByteArray>
#include <algorithm>
#include <numeric>

namespace vorn
{

namespace
{

constexpr quint32 kEocdSig = 0x06054b50;
constexpr quint32 kZip64LocatorSig = 0x07064b50;
constexpr quint32 kZip64EocdSig = 0x06064b50;
constexpr quint32 kCentralSig = 0x02014b50;
constexpr qint64 kMaxDirectory = qint64(512) << 20; // a larger directory is not checked

quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint16(u[0] | (u[1] << 8));
}
quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const uchar *>(p);
    return quint32(u[0]) | (quint32(u[1]) << 8) | (quint32(u[2]) << 16) | (quint32(u[3]) << 24);
}
quint64 le64(const char *p)
{
    return quint64(le32(p)) | (quint64(le32(p + 4)) << 32);
}

bool readExact(const ZipReadAt &readAt, qint64 offset, QByteArray &buf, qint64 len)
{
    if (offset < 0 || len < 0)
        return false;
    buf.resize(len);
    return readAt(offset, buf.data(), len) == len;
}

} // namespace

std::vector<ZipDirRecord> read_central_directory(const ZipReadAt &readAt, qint64 fileSize)
{
    std::vector<ZipDirRecord> out;
    if (fileSize < 22)
        return out;
    const qint64 tailLen = std::min<qint64>(fileSize, 22 + 65535);
    QByteArray tail;
    if (!readExact(readAt, fileSize - tailLen, tail, tailLen))
        return out;
    qint64 eocd = -1;
    for (qint64 i = tailLen - 22; i >= 0; --i) {
        if (le32(tail.constData() + i) == kEocdSig) {
            eocd = i;
            break;
        }
    }
    if (eocd < 0)
        return out;
    const char *e = tail.constData() + eocd;
    quint64 count = le16(e + 10);
    quint64 dirSize = le32(e + 12);
    quint64 dirOffset = le32(e + 16);
    const qint64 eocdPos = fileSize - tailLen + eocd;

    // zip64: the locator sits just before the classic end record
    if (eocdPos >= 20) {
        QByteArray loc;
        if (readExact(readAt, eocdPos - 20, loc, 20) && le32(loc.constData()) == kZip64LocatorSig) {
            const quint64 z64Pos = le64(loc.constData() + 8);
            QByteArray z64;
            if (z64Pos < quint64(fileSize) && readExact(readAt, qint64(z64Pos), z64, 56) &&
                le32(z64.constData()) == kZip64EocdSig) {
                count = le64(z64.constData() + 32);
                dirSize = le64(z64.constData() + 40);
                dirOffset = le64(z64.constData() + 48);
            }
        }
    }
    if (dirSize > quint64(kMaxDirectory) || dirOffset > quint64(fileSize) ||
        dirSize > quint64(fileSize) - dirOffset || count > dirSize / 46)
        return out;

    QByteArray dir;
    if (!readExact(readAt, qint64(dirOffset), dir, qint64(dirSize)))
        return out;
    out.reserve(count);
    qint64 p = 0;
    const qint64 end = dir.size();
    for (quint64 n = 0; n < count; ++n) {
        if (end - p < 46 || le32(dir.constData() + p) != kCentralSig)
            return {};
        const char *r = dir.constData() + p;
        ZipDirRecord rec;
        rec.packedSize = le32(r + 20);
        const quint32 size32 = le32(r + 24);
        rec.nameLength = le16(r + 28);
        const qint64 extraLen = le16(r + 30);
        const qint64 commentLen = le16(r + 32);
        const quint16 disk16 = le16(r + 34);
        rec.localOffset = le32(r + 42);
        const qint64 recordLen = 46 + rec.nameLength + extraLen + commentLen;
        if (end - p < recordLen)
            return {};
        // zip64 extra field: only the fields whose classic value is all ones, in this order
        const char *x = r + 46 + rec.nameLength;
        const char *xEnd = x + extraLen;
        while (xEnd - x >= 4) {
            const quint16 id = le16(x);
            const quint16 len = le16(x + 2);
            const char *body = x + 4;
            if (len > xEnd - body)
                break;
            if (id == 0x0001) {
                const char *f = body;
                const char *fEnd = body + len;
                if (size32 == 0xffffffffu && fEnd - f >= 8)
                    f += 8;
                if (rec.packedSize == 0xffffffffu && fEnd - f >= 8) {
                    rec.packedSize = le64(f);
                    f += 8;
                }
                if (rec.localOffset == 0xffffffffu && fEnd - f >= 8)
                    rec.localOffset = le64(f);
                Q_UNUSED(disk16);
            }
            x = body + len;
        }
        out.push_back(rec);
        p += recordLen;
    }
    return out;
}

std::vector<bool> overlapping_records(const std::vector<ZipDirRecord> &records)
{
    std::vector<bool> overlap(records.size(), false);
    std::vector<size_t> order(records.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return records[a].localOffset < records[b].localOffset; });
    // sweep in offset order, keeping the record that reaches furthest so far
    quint64 reach = 0;
    size_t reacher = 0;
    bool any = false;
    for (size_t i : order) {
        const ZipDirRecord &r = records[i];
        if (any && r.localOffset < reach) {
            overlap[i] = true;
            overlap[reacher] = true;
        }
        const quint64 head = 30 + quint64(r.nameLength);
        const quint64 most = ~quint64(0);
        const quint64 stop = (r.localOffset > most - head || r.packedSize > most - r.localOffset - head)
                                 ? most
                                 : r.localOffset + head + r.packedSize;
        if (!any || stop > reach) {
            reach = stop;
            reacher = i;
        }
        any = true;
    }
    return overlap;
}

} // namespace vorn
