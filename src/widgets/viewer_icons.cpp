#include "widgets/viewer_icons.h"

#include "widgets/drawn_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace vorn
{

namespace
{

const QColor kInk(40, 40, 40);

// A sheet of paper with a folded corner and a few lines of text.
void drawPage(QPainter &p, const QRectF &r, bool lines = true)
{
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 4, r.top());
    path.lineTo(r.right(), r.top() + 4);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    if (lines) {
        p.setPen(QPen(QColor(90, 110, 160), 1));
        for (qreal y = r.top() + 5; y < r.bottom() - 2; y += 3)
            p.drawLine(QPointF(r.left() + 2.5, y), QPointF(r.right() - 2.5, y));
    }
}

void drawArrow(QPainter &p, bool left, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    QPolygonF a = left ? QPolygonF({QPointF(2, 9), QPointF(9, 2), QPointF(9, 6), QPointF(16, 6),
                                    QPointF(16, 12), QPointF(9, 12), QPointF(9, 16)})
                       : QPolygonF({QPointF(16, 9), QPointF(9, 2), QPointF(9, 6), QPointF(2, 6),
                                    QPointF(2, 12), QPointF(9, 12), QPointF(9, 16)});
    p.drawPolygon(a);
}

void drawText(QPainter &p, const QRectF &r, const QString &text, int px, const QColor &c = kInk)
{
    QFont f = p.font();
    f.setPixelSize(px);
    f.setBold(true);
    p.setFont(f);
    p.setPen(c);
    p.drawText(r, Qt::AlignCenter, text);
}

void drawScissors(QPainter &p)
{
    p.setPen(QPen(kInk, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 11, 5, 5));
    p.drawEllipse(QRectF(11, 11, 5, 5));
    p.drawLine(QPointF(6, 12), QPointF(13, 2));
    p.drawLine(QPointF(12, 12), QPointF(5, 2));
}

void drawUpDown(QPainter &p, bool up, const QString &label)
{
    drawText(p, QRectF(0, 0, 18, 11), label, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(up ? QColor(30, 130, 40) : QColor(170, 40, 30));
    p.drawPolygon(up ? QPolygonF({QPointF(5, 17), QPointF(13, 17), QPointF(9, 12)})
                     : QPolygonF({QPointF(5, 12), QPointF(13, 12), QPointF(9, 17)}));
}

} // namespace

QIcon viewer_tool_icon(const char *name)
{
    const QByteArray n(name);
    if (n == "bt_textnorm")
        return drawn_icon([](QPainter &p) { drawPage(p, QRectF(3.5, 1.5, 11, 15)); });
    if (n == "bt_texthex")
        return drawn_icon([](QPainter &p) {
            drawPage(p, QRectF(1.5, 1.5, 15, 15), false);
            drawText(p, QRectF(1, 2, 16, 14), QStringLiteral("0F"), 8, QColor(20, 20, 140));
        });
    if (n == "bt_textmemo2")
        return drawn_icon([](QPainter &p) {
            drawPage(p, QRectF(0.5, 1.5, 8, 15));
            drawPage(p, QRectF(9.5, 1.5, 8, 15));
        });
    if (n == "bt_textload")
        return drawn_icon([](QPainter &p) {
            p.setPen(QPen(kInk, 1));
            p.setBrush(QColor(240, 200, 90));
            p.drawRect(QRectF(1.5, 5.5, 15, 10));
            p.drawRect(QRectF(1.5, 3.5, 6, 2));
            drawArrow(p, false, QColor(30, 120, 40));
        });
    if (n == "bt_textsave")
        return drawn_icon([](QPainter &p) {
            p.setPen(QPen(kInk, 1));
            p.setBrush(QColor(60, 80, 160));
            p.drawRect(QRectF(2.5, 2.5, 13, 13));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(5.5, 2.5, 7, 5));
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(4.5, 10.5, 9, 5));
        });
    if (n == "bt_textclear")
        return drawn_icon([](QPainter &p) {
            drawPage(p, QRectF(3.5, 1.5, 11, 15));
            p.setPen(QPen(QColor(200, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5, 5), QPointF(13, 13));
            p.drawLine(QPointF(13, 5), QPointF(5, 13));
        });
    if (n == "bt_textcut")
        return drawn_icon([](QPainter &p) { drawScissors(p); });
    if (n == "bt_textcopy" || n == "bt_htmlcopytclip")
        return drawn_icon([](QPainter &p) {
            drawPage(p, QRectF(1.5, 1.5, 10, 12));
            drawPage(p, QRectF(6.5, 5.5, 10, 12));
        });
    if (n == "bt_textpaste")
        return drawn_icon([](QPainter &p) {
            p.setPen(QPen(kInk, 1));
            p.setBrush(QColor(190, 140, 80));
            p.drawRect(QRectF(2.5, 2.5, 11, 14));
            drawPage(p, QRectF(7.5, 6.5, 9, 11));
        });
    if (n == "bt_colsup")
        return drawn_icon([](QPainter &p) { drawUpDown(p, true, QStringLiteral("||")); });
    if (n == "bt_colsdown")
        return drawn_icon([](QPainter &p) { drawUpDown(p, false, QStringLiteral("||")); });
    if (n == "bt_fontup")
        return drawn_icon([](QPainter &p) { drawUpDown(p, true, QStringLiteral("A")); });
    if (n == "bt_fontdown")
        return drawn_icon([](QPainter &p) { drawUpDown(p, false, QStringLiteral("A")); });
    if (n == "bt_htmlback")
        return drawn_icon([](QPainter &p) { drawArrow(p, true, QColor(30, 90, 170)); });
    if (n == "bt_htmlnext")
        return drawn_icon([](QPainter &p) { drawArrow(p, false, QColor(30, 90, 170)); });
    if (n == "bt_htmltext")
        return drawn_icon([](QPainter &p) {
            drawPage(p, QRectF(1.5, 1.5, 15, 15), false);
            drawText(p, QRectF(1, 2, 16, 14), QStringLiteral("</>"), 7, QColor(150, 30, 30));
        });
    if (n == "bt_htmlclearlist")
        return drawn_icon([](QPainter &p) {
            p.setPen(QPen(kInk, 1));
            for (int i = 0; i < 4; ++i)
                p.drawLine(QPointF(2, 3.5 + i * 3.5), QPointF(11, 3.5 + i * 3.5));
            p.setPen(QPen(QColor(200, 30, 30), 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10, 9), QPointF(16, 15));
            p.drawLine(QPointF(16, 9), QPointF(10, 15));
        });
    return {};
}

} // namespace vorn
