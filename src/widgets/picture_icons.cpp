#include "widgets/picture_icons.h"
#include "widgets/drawn_icon.h"

#include <QPainter>
#include <QPixmap>

#include <functional>

namespace vorn
{

namespace
{

void drawLens(QPainter &p, const QColor &glass)
{
    p.setPen(QPen(QColor(40, 40, 40), 1.6));
    p.setBrush(glass);
    p.drawEllipse(QRectF(2, 2, 10, 10));
    p.setPen(QPen(QColor(90, 60, 20), 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 11), QPointF(16, 16));
}

QIcon lensIcon(const QString &sign)
{
    return drawn_icon([sign](QPainter &p) {
        drawLens(p, QColor(220, 235, 255));
        p.setPen(QPen(QColor(20, 20, 120), 1.6));
        p.drawLine(QPointF(4.5, 7), QPointF(9.5, 7));
        if (sign == QLatin1String("+"))
            p.drawLine(QPointF(7, 4.5), QPointF(7, 9.5));
    });
}

} // namespace

QIcon picture_tool_icon(const char *name)
{
    const QByteArray n(name);
    if (n == "bt_gotocatalog")
        return drawn_icon([](QPainter &p) {
            p.setPen(QColor(40, 40, 40));
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) {
                    p.setBrush(QColor::fromHsv((r * 3 + c) * 40, 120, 230));
                    p.drawRect(2 + c * 5, 2 + r * 5, 4, 4);
                }
        });
    if (n == "bt_diashow")
        return drawn_icon([](QPainter &p) {
            p.setPen(QColor(30, 30, 30));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 2.5, 15, 11));
            p.setBrush(QColor(30, 140, 40));
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(7, 5), QPointF(12, 8), QPointF(7, 11)}));
            p.setPen(QColor(30, 30, 30));
            p.drawLine(QPointF(9, 13.5), QPointF(6, 17));
            p.drawLine(QPointF(9, 13.5), QPointF(12, 17));
        });
    if (n == "bt_backgr")
        return drawn_icon([](QPainter &p) {
            p.setPen(QColor(40, 40, 40));
            const QColor c[] = {QColor(210, 80, 60), QColor(240, 200, 70), QColor(240, 200, 70),
                                QColor(210, 80, 60)};
            for (int i = 0; i < 4; ++i) {
                p.setBrush(c[i]);
                p.drawRect(2 + (i % 2) * 7, 2 + (i / 2) * 7, 7, 7);
            }
        });
    if (n == "bt_bestfit")
        return drawn_icon([](QPainter &p) {
            p.setPen(QColor(40, 40, 40));
            p.setBrush(QColor(200, 220, 250));
            p.drawRect(QRectF(1.5, 1.5, 15, 15));
            p.setPen(QPen(QColor(20, 20, 120), 1.5));
            p.drawLine(QPointF(5, 5), QPointF(13, 13));
            p.drawLine(QPointF(13, 5), QPointF(5, 13));
            p.drawLine(QPointF(4, 4), QPointF(7, 4));
            p.drawLine(QPointF(4, 4), QPointF(4, 7));
            p.drawLine(QPointF(14, 14), QPointF(11, 14));
            p.drawLine(QPointF(14, 14), QPointF(14, 11));
        });
    if (n == "bt_center")
        return drawn_icon([](QPainter &p) {
            p.setPen(QColor(40, 40, 40));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 1.5, 15, 15));
            p.setBrush(QColor(70, 130, 220));
            p.drawRect(QRectF(5.5, 5.5, 7, 7));
        });
    if (n == "bt_shape")
        return drawn_icon([](QPainter &p) {
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::white, 2));
            p.drawLine(2, 16, 2, 2);
            p.drawLine(2, 2, 16, 2);
            p.setPen(QPen(QColor(60, 60, 60), 2));
            p.drawLine(16, 2, 16, 16);
            p.drawLine(16, 16, 2, 16);
            p.fillRect(QRect(5, 5, 9, 9), QColor(120, 170, 90));
        });
    if (n == "bt_zoomout")
        return lensIcon(QStringLiteral("-"));
    if (n == "bt_zoomin")
        return lensIcon(QStringLiteral("+"));
    if (n == "bt_lupe")
        return drawn_icon([](QPainter &p) { drawLens(p, QColor(255, 250, 200)); });
    if (n == "bt_copytoclpb")
        return drawn_icon([](QPainter &p) {
            p.setPen(QColor(60, 40, 20));
            p.setBrush(QColor(190, 140, 80));
            p.drawRoundedRect(QRectF(2.5, 2.5, 13, 14), 1.5, 1.5);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 5.5, 9, 9));
            p.setBrush(QColor(150, 150, 150));
            p.drawRect(QRectF(6.5, 1.5, 5, 3));
        });
    return {};
}

} // namespace vorn
