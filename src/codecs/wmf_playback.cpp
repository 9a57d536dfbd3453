#include "codecs/wmf_playback.h"

#include "base/text_file.h"

#include <QFontMetricsF>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace vorn::wmf
{

namespace
{

QColor colorref(quint32 c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

} // namespace

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

void Playback::fill(const QRectF &rect, RopFill with)
{
    if (with == RopFill::Brush)
        p_.fillRect(rect, st_.brush);
    else if (with == RopFill::Black)
        p_.fillRect(rect, Qt::black);
    else if (with == RopFill::White)
        p_.fillRect(rect, Qt::white);
}

void Playback::dib(quint16 fn, const Params &r)
{
    const DibBlit blit = read_dib_blit(fn, r);
    if (blit.kind == DibBlit::Fill)
        fill(blit.dest, blit.fill);
    else
        draw_dib(p_, blit);
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
            fill(rect.normalized(), rop_fill(r.u32(0)));
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
        if (int(saved_.size()) < kMaxSavedStates)
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
        const QImage img = pattern_brush_image(r);
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

} // namespace vorn::wmf
