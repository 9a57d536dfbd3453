#include "archives/zip_directory.h"

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <numeric>
#include <zlib.h>

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

// The characters 0x80 to 0xff of code page 437.
constexpr char16_t kCp437High[128] = {
    u'\u00c7', u'\u00fc', u'\u00e9', u'\u00e2', u'\u00e4', u'\u00e0', u'\u00e5', u'\u00e7', u'\u00ea',
    u'\u00eb', u'\u00e8', u'\u00ef', u'\u00ee', u'\u00ec', u'\u00c4', u'\u00c5', u'\u00c9', u'\u00e6',
    u'\u00c6', u'\u00f4', u'\u00f6', u'\u00f2', u'\u00fb', u'\u00f9', u'\u00ff', u'\u00d6', u'\u00dc',
    u'\u00a2', u'\u00a3', u'\u00a5', u'\u20a7', u'\u0192', u'\u00e1', u'\u00ed', u'\u00f3', u'\u00fa',
    u'\u00f1', u'\u00d1', u'\u00aa', u'\u00ba', u'\u00bf', u'\u2310', u'\u00ac', u'\u00bd', u'\u00bc',
    u'\u00a1', u'\u00ab', u'\u00bb', u'\u2591', u'\u2592', u'\u2593', u'\u2502', u'\u2524', u'\u2561',
    u'\u2562', u'\u2556', u'\u2555', u'\u2563', u'\u2551', u'\u2557', u'\u255d', u'\u255c', u'\u255b',
    u'\u2510', u'\u2514', u'\u2534', u'\u252c', u'\u251c', u'\u2500', u'\u253c', u'\u255e', u'\u255f',
    u'\u255a', u'\u2554', u'\u2569', u'\u2566', u'\u2560', u'\u2550', u'\u256c', u'\u2567', u'\u2568',
    u'\u2564', u'\u2565', u'\u2559', u'\u2558', u'\u2552', u'\u2553', u'\u256b', u'\u256a', u'\u2518',
    u'\u250c', u'\u2588', u'\u2584', u'\u258c', u'\u2590', u'\u2580', u'\u03b1', u'\u00df', u'\u0393',
    u'\u03c0', u'\u03a3', u'\u03c3', u'\u00b5', u'\u03c4', u'\u03a6', u'\u0398', u'\u03a9', u'\u03b4',
    u'\u221e', u'\u03c6', u'\u03b5', u'\u2229', u'\u2261', u'\u00b1', u'\u2265', u'\u2264', u'\u2320',
    u'\u2321', u'\u00f7', u'\u2248', u'\u00b0', u'\u2219', u'\u00b7', u'\u221a', u'\u207f', u'\u00b2',
    u'\u25a0', u'\u00a0'};

bool isAscii(QByteArrayView b)
{
    for (const char c : b)
        if (uchar(c) >= 0x80)
            return false;
    return true;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(QByteArrayView b)
{
    const auto *s = reinterpret_cast<const uchar *>(b.data());
    const qsizetype n = b.size();
    for (qsizetype i = 0; i < n;) {
        const uchar c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        quint32 cp = 0;
        if (c >= 0xc2 && c <= 0xdf) {
            more = 1;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            more = 2;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= more)
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((s[i + k] & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (s[i + k] & 0x3f);
        }
        if ((more == 2 && (cp < 0x800 || (cp >= 0xd800 && cp <= 0xdfff))) ||
            (more == 3 && (cp < 0x10000 || cp > 0x10ffff)))
            return false;
        i += more + 1;
    }
    return true;
}

QString decodeName(QByteArrayView stored, quint16 flags, QByteArrayView unicodePath)
{
    if (isAscii(stored) && unicodePath.isEmpty())
        return QString::fromLatin1(stored);
    if (flags & 0x0800)
        return QString::fromUtf8(stored);
    // Info-ZIP's Unicode path field: version 1, the CRC-32 of the stored name, the UTF-8 name
    if (unicodePath.size() > 5 && unicodePath[0] == 1 &&
        le32(unicodePath.data() + 1) ==
            quint32(crc32(0, reinterpret_cast<const Bytef *>(stored.data()), uInt(stored.size())))) {
        const QByteArrayView utf8 = unicodePath.sliced(5);
        if (isUtf8(utf8))
            return QString::fromUtf8(utf8);
    }
    if (isAscii(stored))
        return QString::fromLatin1(stored);
    if (isUtf8(stored))
        return QString::fromUtf8(stored);
    QString out(stored.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (const char c : stored)
        *d++ = uchar(c) < 0x80 ? QChar(uchar(c)) : QChar(kCp437High[uchar(c) - 0x80]);
    return out;
}

bool readExact(const ZipReadAt &readAt, qint64 offset, QByteArray &buf, qint64 len)
{
    if (offset < 0 || len < 0)
        return false;
    buf.resize(len);
    return readAt(offset, buf.data(), len) == len;
}

} // namespace

ZipDirectory read_central_directory(const ZipReadAt &readAt, qint64 fileSize)
{
    ZipDirectory out;
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

    // The directory ends where the end records start.
    quint64 dirEnd = quint64(eocdPos);
    // zip64: the locator sits just before the classic end record, the zip64 end record where
    // the locator says or, in an archive appended to a program, right before the locator
    if (eocdPos >= 20) {
        QByteArray loc;
        if (readExact(readAt, eocdPos - 20, loc, 20) && le32(loc.constData()) == kZip64LocatorSig) {
            const quint64 declared = le64(loc.constData() + 8);
            for (const quint64 z64Pos : {declared, quint64(std::max<qint64>(eocdPos - 20 - 56, 0))}) {
                QByteArray z64;
                if (z64Pos < quint64(fileSize) && readExact(readAt, qint64(z64Pos), z64, 56) &&
                    le32(z64.constData()) == kZip64EocdSig) {
                    count = le64(z64.constData() + 32);
                    dirSize = le64(z64.constData() + 40);
                    dirOffset = le64(z64.constData() + 48);
                    dirEnd = z64Pos;
                    break;
                }
            }
        }
    }
    // Appended to a program without adjusted offsets: no directory where the end record says,
    // but one right before the end records; every offset is then short by the same amount.
    const auto centralAt = [&readAt](quint64 at) {
        QByteArray sig;
        return readExact(readAt, qint64(at), sig, 4) && le32(sig.constData()) == kCentralSig;
    };
    if (count > 0 && dirSize <= dirEnd && dirEnd - dirSize > dirOffset && !centralAt(dirOffset) &&
        centralAt(dirEnd - dirSize)) {
        out.base = dirEnd - dirSize - dirOffset;
        dirOffset += out.base;
    }
    if (dirSize > quint64(kMaxDirectory) || dirOffset > quint64(fileSize) ||
        dirSize > quint64(fileSize) - dirOffset || count > dirSize / 46)
        return out;

    QByteArray dir;
    if (!readExact(readAt, qint64(dirOffset), dir, qint64(dirSize)))
        return out;
    std::vector<ZipDirRecord> &records = out.records;
    records.reserve(count);
    qint64 p = 0;
    const qint64 end = dir.size();
    for (quint64 n = 0; n < count; ++n) {
        if (end - p < 46 || le32(dir.constData() + p) != kCentralSig) {
            records.clear();
            return out;
        }
        const char *r = dir.constData() + p;
        ZipDirRecord rec;
        rec.madeBy = le16(r + 4);
        rec.flags = le16(r + 8);
        rec.method = le16(r + 10);
        rec.dosTime = le16(r + 12);
        rec.dosDate = le16(r + 14);
        rec.packedSize = le32(r + 20);
        rec.size = le32(r + 24);
        rec.nameLength = le16(r + 28);
        const qint64 extraLen = le16(r + 30);
        const qint64 commentLen = le16(r + 32);
        rec.external = le32(r + 38);
        rec.localOffset = le32(r + 42);
        const qint64 recordLen = 46 + rec.nameLength + extraLen + commentLen;
        if (end - p < recordLen) {
            records.clear();
            return out;
        }
        const char *name = r + 46;
        // zip64 sizes and offset (only the fields whose classic value is all ones, in this
        // order), the AES strength and the Unicode path
        QByteArrayView unicodePath;
        quint16 aesStrength = 0;
        const char *x = name + rec.nameLength;
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
                if (rec.size == 0xffffffffu && fEnd - f >= 8) {
                    rec.size = le64(f);
                    f += 8;
                }
                if (rec.packedSize == 0xffffffffu && fEnd - f >= 8) {
                    rec.packedSize = le64(f);
                    f += 8;
                }
                if (rec.localOffset == 0xffffffffu && fEnd - f >= 8)
                    rec.localOffset = le64(f);
            } else if (id == 0x9901 && len >= 7) {
                rec.aesVersion = quint8(le16(body));
                aesStrength = quint8(body[4]);
            } else if (id == 0x7075) {
                unicodePath = QByteArrayView(body, len);
            }
            x = body + len;
        }
        if (rec.flags & 0x0001) {
            if (rec.method == 99)
                rec.encryption =
                    aesStrength >= 1 && aesStrength <= 3 ? quint16(0x0100 + aesStrength) : 0xffff;
            else
                rec.encryption = (rec.flags & 0x0040) ? 0xffff : 1; // bit 6: strong encryption
        }
        rec.name = decodeName(QByteArrayView(name, rec.nameLength), rec.flags, unicodePath);
        records.push_back(std::move(rec));
        p += recordLen;
    }
    out.complete = true;
    return out;
}

QString zip_entry_name(const QByteArray &stored, quint16 flags, const QByteArray &unicodePathField)
{
    return decodeName(stored, flags, unicodePathField);
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
