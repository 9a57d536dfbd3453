// The record table of a Windows metafile: the record functions the player knows, little-endian
// readers, a bounds-checked view of one record's parameters, and the walk over the headers and
// the record chain that decides whether a file is well formed.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QtGlobal>
#include <optional>

namespace vorn::wmf
{

// Record functions handled by the player.
enum : quint16 {
    R_EOF = 0x0000,
    R_SETBKCOLOR = 0x0201,
    R_SETBKMODE = 0x0102,
    R_SETPOLYFILLMODE = 0x0106,
    R_SETTEXTCOLOR = 0x0209,
    R_SETTEXTALIGN = 0x012E,
    R_SETWINDOWORG = 0x020B,
    R_SETWINDOWEXT = 0x020C,
    R_SETVIEWPORTORG = 0x020D,
    R_SETVIEWPORTEXT = 0x020E,
    R_OFFSETWINDOWORG = 0x020F,
    R_SCALEWINDOWEXT = 0x0410,
    R_LINETO = 0x0213,
    R_MOVETO = 0x0214,
    R_EXCLUDECLIPRECT = 0x0415,
    R_INTERSECTCLIPRECT = 0x0416,
    R_ARC = 0x0817,
    R_ELLIPSE = 0x0418,
    R_PIE = 0x081A,
    R_RECTANGLE = 0x041B,
    R_ROUNDRECT = 0x061C,
    R_PATBLT = 0x061D,
    R_SAVEDC = 0x001E,
    R_SETPIXEL = 0x041F,
    R_TEXTOUT = 0x0521,
    R_POLYGON = 0x0324,
    R_POLYLINE = 0x0325,
    R_RESTOREDC = 0x0127,
    R_SELECTOBJECT = 0x012D,
    R_CHORD = 0x0830,
    R_EXTTEXTOUT = 0x0A32,
    R_SETDIBTODEV = 0x0D33,
    R_POLYPOLYGON = 0x0538,
    R_DIBBITBLT = 0x0940,
    R_DIBSTRETCHBLT = 0x0B41,
    R_STRETCHDIB = 0x0F43,
    R_DELETEOBJECT = 0x01F0,
    R_CREATEPALETTE = 0x00F7,
    R_CREATEPATTERNBRUSH = 0x01F9,
    R_CREATEPENINDIRECT = 0x02FA,
    R_CREATEFONTINDIRECT = 0x02FB,
    R_CREATEBRUSHINDIRECT = 0x02FC,
    R_CREATEREGION = 0x06FF,
    R_DIBCREATEPATTERNBRUSH = 0x0142,
};

// Upper bound on the records walked, so that a hostile file cannot run away.
constexpr int kMaxRecords = 1 << 22;

inline quint16 rd16(const uchar *p)
{
    return quint16(p[0] | p[1] << 8);
}
inline quint32 rd32(const uchar *p)
{
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

// The parameters of one record; every read is checked against the record's end.
struct Params {
    const uchar *p;
    qsizetype n; // bytes
    qsizetype words() const { return n / 2; }
    bool has(qsizetype bytes) const { return bytes >= 0 && bytes <= n; }
    qint16 s(qsizetype word) const { return has(word * 2 + 2) ? qint16(rd16(p + word * 2)) : 0; }
    quint16 u(qsizetype word) const { return has(word * 2 + 2) ? rd16(p + word * 2) : 0; }
    quint32 u32(qsizetype word) const { return has(word * 2 + 4) ? rd32(p + word * 2) : 0; }
};

// What the headers and the record chain of a well-formed file say.
struct Layout {
    qsizetype firstRecord = 0; // byte offset of the first record
    int objectCount = 0;       // size of the object table the header asks for
    QRect frame;               // the logical rectangle the picture covers
    QSize natural;             // size at 100 %: the bounding box at 96 dpi, or the window extent
};

// Parses the placeable and standard headers and walks every record, checking that each lies
// inside the data, that the polygon records' counts fit, and that the chain ends with the end
// record. Nothing on anything malformed.
std::optional<Layout> scan(const QByteArray &data);

// Calls fn(function, params) for every record from `first` up to the end record. Only for data
// that scan() accepted.
template <class F> void for_each_record(const QByteArray &data, qsizetype first, F &&fn)
{
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    qsizetype pos = first;
    for (int count = 0; count < kMaxRecords; ++count) {
        const quint32 words = rd32(p + pos);
        const quint16 function = rd16(p + pos + 4);
        if (function == R_EOF)
            break;
        fn(function, Params{p + pos + 6, qsizetype(words) * 2 - 6});
        pos += qsizetype(words) * 2;
    }
}

} // namespace vorn::wmf
