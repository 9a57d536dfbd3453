#include "widgets/led_lamp.h"

#include <QPainter>
#include <QRadialGradient>

namespace vorn
{

LedLamp::LedLamp(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
    setFixedSize(sizeHint());
}

void LedLamp::setOn(bool on)
{
    if (on_ == on)
        return;
    on_ = on;
    update();
}

void LedLamp::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    QRadialGradient g(r.center() - QPointF(r.width() / 5, r.height() / 5), r.width() / 1.5);
    const QColor base = on_ ? QColor(40, 210, 60) : QColor(70, 80, 70);
    g.setColorAt(0, base.lighter(on_ ? 170 : 140));
    g.setColorAt(1, base.darker(on_ ? 110 : 130));
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(g);
    p.drawEllipse(r);
}

} // namespace vorn
