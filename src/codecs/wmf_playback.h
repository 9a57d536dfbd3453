// Playing a Windows metafile's records onto a QPainter: the drawing state (window mapping,
// pens, brushes, fonts, clipping, saved states) and the object table the records build up.
#pragma once

#include "codecs/wmf_dib.h"
#include "codecs/wmf_records.h"

#include <QBrush>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QRegion>
#include <QString>
#include <optional>
#include <vector>

namespace vorn::wmf
{

// Nested saved states beyond this many are not kept.
constexpr int kMaxSavedStates = 1024;

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

    // Draws one record, or takes its effect on the drawing state.
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
    void fill(const QRectF &rect, RopFill with);

    QPainter &p_;
    QSize target_;
    DcState st_;
    std::vector<DcState> saved_;
    std::vector<std::optional<WmfObject>> objects_;
};

} // namespace vorn::wmf
