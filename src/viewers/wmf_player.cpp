#include "viewers/wmf_player.h"

#include "base/text_file.h"
#include "viewers/bitmap_decoder.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace vorn
{

namespace
{

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr int kPlaceableSize = 22;
constexpr int kHeaderSize = 18;

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

quint16 rd16(const uchar *p)
{
    return quint16(p[0] | p[1] << 8);
}
quint32 rd32(const uchar *p)
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

QColor colorref(quint32 c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

struct LogFont {
    int height = 0;
    int escapement = 0;
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    QString face;
};

struct WmfObject {
    enum Kind { Pen, Brush, Font, Other } kind = Other;
    QPen pen;
    QBrush brush;
    LogFont font;
};

struct DcState {
    QPointF winOrg;
    QSizeF winExt;
    QPen pen{QColor(Qt::black), 0};
    QBrush brush{Qt::white};
    LogFont font;
    QColor textColor{Qt::black};
    QColor bkColor{Qt::white};
    bool opaqueBk = true;
    Qt::FillRule fillRule = Qt::OddEvenFill;
    quint16 textAlign = 0;
    QPointF cp;
    bool hasClip = false;
    QRegion clip; // device pixels; the mapping only scales and shifts, so rectangles stay exact
};

// Bitmaps inside records are drawn at most this large.
constexpr qint64 kMaxDibPixels = qint64(1) << 26;

class Playback
{
  public:
    Playback(QPainter &painter, QSize target, QRect frame, int objectCount)
        : p_(painter), target_(target), objects_(size_t(std::clamp(objectCount, 0, 65535)))
    {
        st_.winOrg = frame.topLeft();
        st_.winExt = frame.size();
        updateTransform();
        applyTools();
    }

    void record(quint16 fn, const Params &r);

  private:
    QTransform xf() const { return p_.worldTransform(); }
    void updateTransform()
    {
        if (st_.winExt.width() == 0 || st_.winExt.height() == 0)
            return;
        const qreal sx = target_.width() / st_.winExt.width();
        const qreal sy = target_.height() / st_.winExt.height();
        // A window scaled down to almost nothing would map to absurd device coordinates.
        if (!(std::abs(sx) <= 1e4 && std::abs(sy) <= 1e4 && std::abs(sx) >= 1e-6 && std::abs(sy) >= 1e-6))
            return;
        p_.setWorldTransform(QTransform(sx, 0, 0, sy, -st_.winOrg.x() * sx, -st_.winOrg.y() * sy));
    }
    void applyTools()
    {
        p_.setPen(st_.pen);
        p_.setBrush(st_.brush);
        p_.setBackground(st_.bkColor);
        p_.setBackgroundMode(st_.opaqueBk ? Qt::OpaqueMode : Qt::TransparentMode);
    }
    void applyClip()
    {
        if (!st_.hasClip) {
            p_.setClipping(false);
            return;
        }
        const QTransform keep = p_.worldTransform();
        p_.resetTransform();
        p_.setClipRegion(st_.clip);
        p_.setWorldTransform(keep);
    }
    void addObject(WmfObject o)
    {
        for (auto &slot : objects_) {
            if (!slot) {
                slot = std::move(o);
                return;
            }
        }
        if (objects_.size() < 65535)
            objects_.push_back(std::move(o));
    }
    static QRectF rectOf(const Params &r, int first)
    {
        // bottom, right, top, left
        const qreal b = r.s(first), rt = r.s(first + 1), t = r.s(first + 2), l = r.s(first + 3);
        return QRectF(QPointF(l, t), QPointF(rt, b));
    }
    QPolygonF points(const Params &r, qsizetype word, int count) const
    {
        QPolygonF poly;
        poly.reserve(count);
        for (int i = 0; i < count; ++i)
            poly << QPointF(r.s(word + 2 * i), r.s(word + 2 * i + 1));
        return poly;
    }
    void arcLike(quint16 fn, const Params &r);
    void text(QPointF pos, const QByteArray &bytes, const std::vector<qint16> &dx, const QRectF *clip,
              bool opaqueRect, const QRectF &rect);
    void dib(quint16 fn, const Params &r);
    void drawDib(const QImage &image, QRectF dest, QRectF src, quint32 rop);

    QPainter &p_;
    QSize target_;
    DcState st_;
    std::vector<DcState> saved_;
    std::vector<std::optional<WmfObject>> objects_;
};

void Playback::arcLike(quint16 fn, const Params &r)
{
    if (r.words() < 8)
        return;
    const QPointF end(r.s(1), r.s(0));
    const QPointF start(r.s(3), r.s(2));
    const QRectF box = rectOf(r, 4).normalized();
    if (box.width() <= 0 || box.height() <= 0)
        return;
    const QPointF c = box.center();
    const qreal rx = box.width() / 2, ry = box.height() / 2;
    // Angles of the radial lines through the two points, counter-clockwise from 3 o'clock.
    auto angle = [&](QPointF pt) {
        return std::atan2(-(pt.y() - c.y()) / ry, (pt.x() - c.x()) / rx) * 180 / M_PI;
    };
    const qreal a0 = angle(start);
    qreal span = angle(end) - a0;
    if (span <= 0)
        span += 360;
    const int qa = int(std::lround(a0 * 16)), qs = int(std::lround(span * 16));
    if (fn == R_ARC)
        p_.drawArc(box, qa, qs);
    else if (fn == R_PIE)
        p_.drawPie(box, qa, qs);
    else
        p_.drawChord(box, qa, qs);
}

void Playback::text(QPointF pos, const QByteArray &bytes, const std::vector<qint16> &dx, const QRectF *clip,
                    bool opaqueRect, const QRectF &rect)
{
    const QTransform t = xf();
    const QString s = decode_text(bytes);
    if (opaqueRect)
        p_.fillRect(rect, st_.bkColor);
    const bool updateCp = st_.textAlign & 1;
    if (updateCp)
        pos = st_.cp;
    const qreal sx = std::abs(t.m11()), sy = std::abs(t.m22());

    QFont font(st_.font.face.isEmpty() ? QStringLiteral("Sans Serif") : st_.font.face);
    qreal em = std::abs(st_.font.height) * sy;
    if (st_.font.height == 0)
        em = 12 * sy;
    if (st_.font.height > 0) {
        // A positive height is the cell height; the em is a little smaller.
        QFont probe = font;
        probe.setPixelSize(100);
        QFontMetricsF fm(probe);
        if (fm.ascent() + fm.descent() > 0)
            em = em * 100 / (fm.ascent() + fm.descent());
    }
    // Glyphs far larger than the picture only cost time.
    const qreal cap = 2.0 * std::max(target_.width(), target_.height()) + 16;
    font.setPixelSize(std::max(1, int(std::lround(std::min(em, cap)))));
    font.setWeight(QFont::Weight(std::clamp(st_.font.weight == 0 ? 400 : st_.font.weight, 100, 900)));
    font.setItalic(st_.font.italic);
    font.setUnderline(st_.font.underline);
    font.setStrikeOut(st_.font.strikeOut);
    const QFontMetricsF fm(font);

    qreal width = 0;
    const bool perChar = !dx.empty() && qsizetype(dx.size()) >= s.size();
    if (perChar) {
        for (qsizetype i = 0; i < s.size(); ++i)
            width += dx[size_t(i)] * sx;
    } else {
        width = fm.horizontalAdvance(s);
    }
    qreal x0 = 0, y0 = 0;
    switch (st_.textAlign & 0x06) {
    case 0x02:
        x0 = -width;
        break;
    case 0x06:
        x0 = -width / 2;
        break;
    }
    switch (st_.textAlign & 0x18) {
    case 0x00:
        y0 = fm.ascent();
        break;
    case 0x08:
        y0 = -fm.descent();
        break;
    }

    p_.save();
    if (clip)
        p_.setClipRect(*clip, Qt::IntersectClip);
    const QPointF origin = t.map(pos);
    p_.resetTransform();
    p_.translate(origin);
    if (st_.font.escapement != 0)
        p_.rotate(-st_.font.escapement / 10.0);
    if (st_.opaqueBk)
        p_.fillRect(QRectF(x0, y0 - fm.ascent(), width, fm.ascent() + fm.descent()), st_.bkColor);
    p_.setFont(font);
    p_.setPen(st_.textColor);
    p_.setBackgroundMode(Qt::TransparentMode);
    if (perChar) {
        qreal x = x0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            p_.drawText(QPointF(x, y0), QString(s.at(i)));
            x += dx[size_t(i)] * sx;
        }
    } else {
        p_.drawText(QPointF(x0, y0), s);
    }
    p_.restore();
    if (updateCp && sx > 0)
        st_.cp.rx() += (t.m11() < 0 ? -width : width) / sx;
}

void Playback::drawDib(const QImage &image, QRectF dest, QRectF src, quint32 rop)
{
    if (image.isNull())
        return;
    // Source rows of a bottom-up bitmap count from its bottom edge; QImage rows from the top.
    src = src.normalized().intersected(QRectF(0, 0, image.width(), image.height()));
    if (src.isEmpty())
        return;
    QImage part = image.copy(src.toAlignedRect());
    const bool flipX = dest.width() < 0, flipY = dest.height() < 0;
    if (flipX || flipY)
        part = part.mirrored(flipX, flipY);
    dest = dest.normalized();
    p_.save();
    switch (rop) {
    case 0x008800C6: // SRCAND
        p_.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        break;
    case 0x00EE0086: // SRCPAINT
        p_.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        break;
    case 0x00660046: // SRCINVERT
        p_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        break;
    default: // SRCCOPY and the rest
        break;
    }
    p_.drawImage(dest, part);
    p_.restore();
}

void Playback::dib(quint16 fn, const Params &r)
{
    // A DIB record whose size is the bare parameter count carries no bitmap.
    const bool noBitmap = r.words() + 3 == (fn >> 8) + 3;
    const quint32 rop = r.u32(0);
    auto bits = [&](qsizetype word) {
        return decode_dib(r.p + word * 2, r.n - word * 2, -1, qint64(1) << 26);
    };
    auto sourceRect = [](const QImage &img, qreal xs, qreal ys, qreal ws, qreal hs, bool bottomUp) {
        return bottomUp ? QRectF(xs, img.height() - ys - hs, ws, hs) : QRectF(xs, ys, ws, hs);
    };
    // Rows of a bottom-up bitmap (positive height; the old core header always) count from the
    // bottom edge.
    auto bottomUp = [&](qsizetype word) {
        const qsizetype at = word * 2;
        if (!r.has(at + 12))
            return true;
        return rd32(r.p + at) == 12 || qint32(rd32(r.p + at + 8)) > 0;
    };
    switch (fn) {
    case R_DIBBITBLT: {
        if (noBitmap) {
            if (r.words() < 9)
                return;
            const QRectF dest = QRectF(r.s(8), r.s(7), r.s(6), r.s(5)).normalized();
            if (rop == 0x00F00021) // PATCOPY
                p_.fillRect(dest, st_.brush);
            else if (rop == 0x00000042)
                p_.fillRect(dest, Qt::black);
            else if (rop == 0x00FF0062)
                p_.fillRect(dest, Qt::white);
            return;
        }
        if (r.words() < 8)
            return;
        const QImage img = bits(8);
        const qreal w = r.s(5), h = r.s(4);
        drawDib(img, QRectF(r.s(7), r.s(6), w, h), sourceRect(img, r.s(3), r.s(2), w, h, bottomUp(8)), rop);
        return;
    }
    case R_DIBSTRETCHBLT: {
        if (noBitmap || r.words() < 10)
            return;
        const QImage img = bits(10);
        drawDib(img, QRectF(r.s(9), r.s(8), r.s(7), r.s(6)),
                sourceRect(img, r.s(5), r.s(4), r.s(3), r.s(2), bottomUp(10)), rop);
        return;
    }
    case R_STRETCHDIB: {
        if (r.words() < 11 || r.u(2) != 0) // palette-index colours are not supported
            return;
        const QImage img = bits(11);
        drawDib(img, QRectF(r.s(10), r.s(9), r.s(8), r.s(7)),
                sourceRect(img, r.s(6), r.s(5), r.s(4), r.s(3), bottomUp(11)), rop);
        return;
    }
    case R_SETDIBTODEV: {
        if (r.words() < 9 || r.u(0) != 0)
            return;
        const QImage img = bits(9);
        const qreal w = r.s(6), h = r.s(5);
        drawDib(img, QRectF(r.s(8), r.s(7), w, h), sourceRect(img, r.s(4), r.s(3), w, h, bottomUp(9)),
                0x00CC0020);
        return;
    }
    }
}

void Playback::record(quint16 fn, const Params &r)
{
    switch (fn) {
    case R_SETBKCOLOR:
        st_.bkColor = colorref(r.u32(0));
        applyTools();
        break;
    case R_SETBKMODE:
        st_.opaqueBk = r.u(0) == 2;
        applyTools();
        break;
    case R_SETPOLYFILLMODE:
        st_.fillRule = r.u(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill;
        break;
    case R_SETTEXTCOLOR:
        st_.textColor = colorref(r.u32(0));
        break;
    case R_SETTEXTALIGN:
        st_.textAlign = r.u(0);
        break;
    case R_SETWINDOWORG:
        if (r.words() >= 2) {
            st_.winOrg = QPointF(r.s(1), r.s(0));
            updateTransform();
        }
        break;
    case R_SETWINDOWEXT:
        if (r.words() >= 2 && r.s(0) != 0 && r.s(1) != 0) {
            st_.winExt = QSizeF(r.s(1), r.s(0));
            updateTransform();
        }
        break;
    case R_OFFSETWINDOWORG:
        if (r.words() >= 2) {
            st_.winOrg += QPointF(r.s(1), r.s(0));
            updateTransform();
        }
        break;
    case R_SCALEWINDOWEXT:
        if (r.words() >= 4 && r.s(0) != 0 && r.s(2) != 0) {
            const QSizeF ext(st_.winExt.width() * r.s(3) / r.s(2), st_.winExt.height() * r.s(1) / r.s(0));
            if (ext.width() != 0 && ext.height() != 0) {
                st_.winExt = ext;
                updateTransform();
            }
        }
        break;
    case R_SETVIEWPORTORG:
    case R_SETVIEWPORTEXT:
        // The viewport is the target rectangle the caller gives; the file's own device
        // coordinates are meaningless at another size.
        break;
    case R_MOVETO:
        if (r.words() >= 2)
            st_.cp = QPointF(r.s(1), r.s(0));
        break;
    case R_LINETO:
        if (r.words() >= 2) {
            const QPointF to(r.s(1), r.s(0));
            p_.drawLine(st_.cp, to);
            st_.cp = to;
        }
        break;
    case R_RECTANGLE:
        if (r.words() >= 4)
            p_.drawRect(rectOf(r, 0));
        break;
    case R_ROUNDRECT:
        if (r.words() >= 6)
            p_.drawRoundedRect(rectOf(r, 2).normalized(), std::abs(r.s(1)) / 2.0, std::abs(r.s(0)) / 2.0,
                               Qt::AbsoluteSize);
        break;
    case R_ELLIPSE:
        if (r.words() >= 4)
            p_.drawEllipse(rectOf(r, 0));
        break;
    case R_ARC:
    case R_PIE:
    case R_CHORD:
        arcLike(fn, r);
        break;
    case R_SETPIXEL:
        if (r.words() >= 4) {
            const QTransform t = xf();
            p_.save();
            p_.resetTransform();
            p_.fillRect(QRectF(t.map(QPointF(r.s(3), r.s(2))), QSizeF(1, 1)), colorref(r.u32(0)));
            p_.restore();
        }
        break;
    case R_PATBLT:
        if (r.words() >= 6) {
            const QRectF rect(r.s(5), r.s(4), r.s(3), r.s(2));
            const quint32 rop = r.u32(0);
            if (rop == 0x00F00021)
                p_.fillRect(rect.normalized(), st_.brush);
            else if (rop == 0x00000042)
                p_.fillRect(rect.normalized(), Qt::black);
            else if (rop == 0x00FF0062)
                p_.fillRect(rect.normalized(), Qt::white);
        }
        break;
    case R_POLYGON:
    case R_POLYLINE: {
        const int count = r.u(0);
        if (count < 1 || !r.has(2 + qsizetype(count) * 4))
            break;
        const QPolygonF poly = points(r, 1, count);
        if (fn == R_POLYLINE)
            p_.drawPolyline(poly);
        else
            p_.drawPolygon(poly, st_.fillRule);
        break;
    }
    case R_POLYPOLYGON: {
        const int polys = r.u(0);
        if (polys < 1 || !r.has(2 + qsizetype(polys) * 2))
            break;
        qsizetype total = 0;
        for (int i = 0; i < polys; ++i)
            total += r.u(1 + i);
        if (!r.has(2 + qsizetype(polys) * 2 + total * 4))
            break;
        QPainterPath path;
        path.setFillRule(st_.fillRule);
        qsizetype word = 1 + polys;
        for (int i = 0; i < polys; ++i) {
            const int count = r.u(1 + i);
            if (count > 0) {
                QPolygonF poly = points(r, word, count);
                poly << poly.first();
                path.addPolygon(poly);
                path.closeSubpath();
            }
            word += 2 * qsizetype(count);
        }
        p_.drawPath(path);
        break;
    }
    case R_TEXTOUT: {
        const int len = r.u(0);
        const qsizetype padded = (qsizetype(len) + 1) & ~qsizetype(1);
        if (!r.has(2 + padded + 4))
            break;
        const QByteArray bytes(reinterpret_cast<const char *>(r.p + 2), len);
        const qsizetype w = 1 + padded / 2;
        text(QPointF(r.s(w + 1), r.s(w)), bytes, {}, nullptr, false, QRectF());
        break;
    }
    case R_EXTTEXTOUT: {
        if (r.words() < 4)
            break;
        const QPointF pos(r.s(1), r.s(0));
        const int len = r.u(2);
        const quint16 opts = r.u(3);
        qsizetype off = 8;
        QRectF rect;
        const bool hasRect = opts & 0x0006; // ETO_OPAQUE or ETO_CLIPPED
        if (hasRect) {
            if (!r.has(off + 8))
                break;
            rect = QRectF(QPointF(r.s(4), r.s(5)), QPointF(r.s(6), r.s(7))).normalized();
            off += 8;
        }
        const qsizetype padded = (qsizetype(len) + 1) & ~qsizetype(1);
        if (!r.has(off + len))
            break;
        const QByteArray bytes(reinterpret_cast<const char *>(r.p + off), len);
        std::vector<qint16> dx;
        if (r.has(off + padded + qsizetype(len) * 2)) {
            dx.resize(size_t(len));
            for (int i = 0; i < len; ++i)
                dx[size_t(i)] = qint16(rd16(r.p + off + padded + i * 2));
        }
        text(pos, bytes, dx, (opts & 0x0004) ? &rect : nullptr, hasRect && (opts & 0x0002), rect);
        break;
    }
    case R_SAVEDC:
        if (int(saved_.size()) < WmfPlayer::kMaxSavedStates)
            saved_.push_back(st_);
        break;
    case R_RESTOREDC: {
        const int n = r.s(0);
        qsizetype index = -1;
        if (n < 0)
            index = qsizetype(saved_.size()) + n;
        else if (n > 0)
            index = n - 1;
        if (index < 0 || index >= qsizetype(saved_.size()))
            break;
        st_ = saved_[size_t(index)];
        saved_.resize(size_t(index));
        updateTransform();
        applyTools();
        applyClip();
        break;
    }
    case R_INTERSECTCLIPRECT:
    case R_EXCLUDECLIPRECT: {
        if (r.words() < 4)
            break;
        // Only the part inside the picture matters; cutting it there keeps the numbers small.
        const QRectF inside(QPointF(-1, -1), QSizeF(target_) + QSizeF(2, 2));
        const QRegion rect(xf().mapRect(rectOf(r, 0).normalized()).intersected(inside).toAlignedRect());
        if (fn == R_INTERSECTCLIPRECT)
            st_.clip = st_.hasClip ? st_.clip.intersected(rect) : rect;
        else
            st_.clip = (st_.hasClip ? st_.clip : QRegion(QRect(QPoint(0, 0), target_))).subtracted(rect);
        st_.hasClip = true;
        applyClip();
        break;
    }
    case R_SELECTOBJECT: {
        const size_t i = r.u(0);
        if (i >= objects_.size() || !objects_[i])
            break;
        const WmfObject &o = *objects_[i];
        if (o.kind == WmfObject::Pen)
            st_.pen = o.pen;
        else if (o.kind == WmfObject::Brush)
            st_.brush = o.brush;
        else if (o.kind == WmfObject::Font)
            st_.font = o.font;
        applyTools();
        break;
    }
    case R_DELETEOBJECT: {
        const size_t i = r.u(0);
        if (i < objects_.size())
            objects_[i].reset();
        break;
    }
    case R_CREATEPENINDIRECT: {
        WmfObject o;
        o.kind = WmfObject::Pen;
        const quint16 style = r.u(0);
        const int width = std::abs(int(r.s(1)));
        QPen pen(colorref(r.u32(3)), width);
        switch (style & 0x0F) {
        case 1:
            pen.setStyle(Qt::DashLine);
            break;
        case 2:
            pen.setStyle(Qt::DotLine);
            break;
        case 3:
            pen.setStyle(Qt::DashDotLine);
            break;
        case 4:
            pen.setStyle(Qt::DashDotDotLine);
            break;
        case 5:
            pen.setStyle(Qt::NoPen);
            break;
        default:
            break;
        }
        if (width > 1 && pen.style() != Qt::NoPen)
            pen.setStyle(Qt::SolidLine); // wide pens are always solid
        const int cap = style & 0x0F00, join = style & 0xF000;
        pen.setCapStyle(cap == 0x0100 ? Qt::SquareCap : cap == 0x0200 ? Qt::FlatCap : Qt::RoundCap);
        pen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
        o.pen = pen;
        addObject(std::move(o));
        break;
    }
    case R_CREATEBRUSHINDIRECT: {
        WmfObject o;
        o.kind = WmfObject::Brush;
        const quint16 style = r.u(0);
        const QColor color = colorref(r.u32(1));
        if (style == 1) {
            o.brush = Qt::NoBrush;
        } else if (style == 2) {
            static const Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                     Qt::FDiagPattern, Qt::BDiagPattern,
                                                     Qt::CrossPattern, Qt::DiagCrossPattern};
            const quint16 h = r.u(3);
            o.brush = QBrush(color, h < 6 ? hatches[h] : Qt::SolidPattern);
        } else {
            o.brush = QBrush(color);
        }
        addObject(std::move(o));
        break;
    }
    case R_DIBCREATEPATTERNBRUSH: {
        WmfObject o;
        o.kind = WmfObject::Brush;
        const QImage img =
            r.u(1) == 0 && r.n > 4 ? decode_dib(r.p + 4, r.n - 4, -1, kMaxDibPixels) : QImage();
        o.brush = img.isNull() ? QBrush(Qt::black) : QBrush(img);
        addObject(std::move(o));
        break;
    }
    case R_CREATEFONTINDIRECT: {
        WmfObject o;
        o.kind = WmfObject::Font;
        o.font.height = r.s(0);
        o.font.escapement = r.s(2);
        o.font.weight = r.s(4);
        if (r.has(13)) {
            o.font.italic = r.p[10] != 0;
            o.font.underline = r.p[11] != 0;
            o.font.strikeOut = r.p[12] != 0;
        }
        if (r.n > 18) {
            const qsizetype max = std::min<qsizetype>(32, r.n - 18);
            const char *face = reinterpret_cast<const char *>(r.p + 18);
            o.font.face = decode_text(QByteArray(face, qstrnlen(face, size_t(max))));
        }
        addObject(std::move(o));
        break;
    }
    case R_CREATEPALETTE:
    case R_CREATEPATTERNBRUSH:
    case R_CREATEREGION:
        addObject(WmfObject()); // takes a slot, draws nothing
        break;
    case R_DIBBITBLT:
    case R_DIBSTRETCHBLT:
    case R_STRETCHDIB:
    case R_SETDIBTODEV:
        dib(fn, r);
        break;
    default:
        break; // records without a visible effect here are passed over
    }
}

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

bool WmfPlayer::load(const QByteArray &data)
{
    *this = WmfPlayer();
    const auto *p = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype n = data.size();
    qsizetype h = 0;
    bool placeable = false;
    QRect bbox;
    int inch = 0;
    if (n >= 4 && rd32(p) == kPlaceableKey) {
        if (n < kPlaceableSize)
            return false;
        placeable = true;
        const int l = qint16(rd16(p + 6)), t = qint16(rd16(p + 8)), r = qint16(rd16(p + 10)),
                  b = qint16(rd16(p + 12));
        bbox = QRect(QPoint(std::min(l, r), std::min(t, b)), QSize(std::abs(r - l), std::abs(b - t)));
        inch = rd16(p + 14);
        h = kPlaceableSize;
    }
    if (n < h + kHeaderSize)
        return false;
    const quint16 type = rd16(p + h), headerWords = rd16(p + h + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return false;
    objectCount_ = rd16(p + h + 10);

    // Walk the record chain once: every record must lie inside the data and the chain must
    // end with the end record.
    qsizetype pos = h + kHeaderSize;
    bool ended = false;
    bool haveOrg = false, haveExt = false;
    QPoint org;
    QSize ext;
    for (int count = 0; count < kMaxRecords; ++count) {
        if (pos + 6 > n)
            return false;
        const quint32 words = rd32(p + pos);
        const quint16 fn = rd16(p + pos + 4);
        if (words < 3 || qint64(words) * 2 > n - pos)
            return false;
        if (fn == R_EOF) {
            ended = true;
            break;
        }
        if (!polygon_counts_valid(fn, Params{p + pos + 6, qsizetype(words) * 2 - 6}))
            return false;
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
        return false;

    if (placeable) {
        if (bbox.width() <= 0 || bbox.height() <= 0)
            return false;
        if (inch == 0)
            inch = 1440;
        frame_ = bbox;
        natural_ = QSize(std::max(1, int((qint64(bbox.width()) * 96 + inch / 2) / inch)),
                         std::max(1, int((qint64(bbox.height()) * 96 + inch / 2) / inch)));
    } else {
        if (!haveExt)
            return false;
        // A negative extent flips the axis; the frame still starts at the window origin.
        frame_ = QRect(org, ext);
        natural_ = QSize(std::abs(ext.width()), std::abs(ext.height()));
    }
    data_ = data;
    data_.detach(); // the caller's bytes may be a raw view
    firstRecord_ = h + kHeaderSize;
    valid_ = true;
    return true;
}

void WmfPlayer::play(QPainter &painter, QSize target) const
{
    if (!valid_ || target.isEmpty())
        return;
    painter.save();
    // The frame may be given with a negative extent (y growing upwards); map it as it is.
    QRect frame = frame_;
    Playback playback(painter, target, frame, objectCount_);
    const auto *p = reinterpret_cast<const uchar *>(data_.constData());
    qsizetype pos = firstRecord_;
    for (int count = 0; count < kMaxRecords; ++count) {
        const quint32 words = rd32(p + pos);
        const quint16 fn = rd16(p + pos + 4);
        if (fn == R_EOF)
            break;
        playback.record(fn, Params{p + pos + 6, qsizetype(words) * 2 - 6});
        pos += qsizetype(words) * 2;
    }
    painter.restore();
}

QImage WmfPlayer::render(QSize size) const
{
    if (!valid_ || size.isEmpty())
        return QImage();
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
    play(painter, size);
    painter.end();
    return image;
}

} // namespace vorn
