#include "codecs/wmf_records.h"

#include <algorithm>
#include <cstdlib>

namespace vorn::wmf
{

namespace
{

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr int kPlaceableSize = 22;
constexpr int kHeaderSize = 18;

// The point counts of the polygon records must be non-negative and fit in the record; a
// record that claims otherwise makes the file invalid rather than being drawn in part.
bool polygon_counts_valid(quint16 fn, const Params &r)
{
    if (fn == R_POLYGON || fn == R_POLYLINE) {
        const int count = r.s(0);
        return r.has(2) && count >= 0 && r.has(2 + qsizetype(count) * 4);
    }
    if (fn == R_POLYPOLYGON) {
        const int polys = r.s(0);
        if (!r.has(2) || polys < 0 || !r.has(2 + qsizetype(polys) * 2))
            return false;
        qsizetype total = 0;
        for (int i = 0; i < polys; ++i) {
            if (r.s(1 + i) < 0)
                return false;
            total += r.s(1 + i);
        }
        return r.has(2 + qsizetype(polys) * 2 + total * 4);
    }
    return true;
}

} // namespace

std::optional<Layout> scan(const QByteArray &data)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype n = data.size();
    qsizetype h = 0;
    bool placeable = false;
    QRect bbox;
    int inch = 0;
    if (n >= 4 && rd32(p) == kPlaceableKey) {
        if (n < kPlaceableSize)
            return std::nullopt;
        placeable = true;
        const int l = qint16(rd16(p + 6)), t = qint16(rd16(p + 8)), r = qint16(rd16(p + 10)),
                  b = qint16(rd16(p + 12));
        bbox = QRect(QPoint(std::min(l, r), std::min(t, b)), QSize(std::abs(r - l), std::abs(b - t)));
        inch = rd16(p + 14);
        h = kPlaceableSize;
    }
    if (n < h + kHeaderSize)
        return std::nullopt;
    const quint16 type = rd16(p + h), headerWords = rd16(p + h + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return std::nullopt;
    Layout layout;
    layout.objectCount = rd16(p + h + 10);

    // Walk the record chain once: every record must lie inside the data and the chain must
    // end with the end record.
    qsizetype pos = h + kHeaderSize;
    bool ended = false;
    bool haveOrg = false, haveExt = false;
    QPoint org;
    QSize ext;
    for (int count = 0; count < kMaxRecords; ++count) {
        if (pos + 6 > n)
            return std::nullopt;
        const quint32 words = rd32(p + pos);
        const quint16 fn = rd16(p + pos + 4);
        if (words < 3 || qint64(words) * 2 > n - pos)
            return std::nullopt;
        if (fn == R_EOF) {
            ended = true;
            break;
        }
        if (!polygon_counts_valid(fn, Params{p + pos + 6, qsizetype(words) * 2 - 6}))
            return std::nullopt;
        if (!placeable && words >= 5) {
            const int y = qint16(rd16(p + pos + 6)), x = qint16(rd16(p + pos + 8));
            if (fn == R_SETWINDOWORG && !haveOrg) {
                org = QPoint(x, y);
                haveOrg = true;
            } else if (fn == R_SETWINDOWEXT && !haveExt && x != 0 && y != 0) {
                ext = QSize(x, y);
                haveExt = true;
            }
        }
        pos += qsizetype(words) * 2;
    }
    if (!ended)
        return std::nullopt;

    if (placeable) {
        if (bbox.width() <= 0 || bbox.height() <= 0)
            return std::nullopt;
        if (inch == 0)
            inch = 1440;
        layout.frame = bbox;
        layout.natural = QSize(std::max(1, int((qint64(bbox.width()) * 96 + inch / 2) / inch)),
                               std::max(1, int((qint64(bbox.height()) * 96 + inch / 2) / inch)));
    } else {
        if (!haveExt)
            return std::nullopt;
        // A negative extent flips the axis; the frame still starts at the window origin.
        layout.frame = QRect(org, ext);
        layout.natural = QSize(std::abs(ext.width()), std::abs(ext.height()));
    }
    layout.firstRecord = h + kHeaderSize;
    return layout;
}

} // namespace vorn::wmf
