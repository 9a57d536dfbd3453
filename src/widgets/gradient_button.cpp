#include "widgets/gradient_button.h"

#include <QLinearGradient>
#include <QPainter>
#include <QStyleOptionButton>

namespace vorn
{

GradientButton::GradientButton(QWidget *parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setColors(palette().color(QPalette::Light), palette().color(QPalette::Mid));
}

void GradientButton::setColors(const QColor &light, const QColor &shadow)
{
    light_ = light;
    shadow_ = shadow;
    update();
}

void GradientButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    const bool down = isDown() || isChecked();
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, down ? shadow_ : light_);
    g.setColorAt(1, down ? light_ : shadow_);
    p.fillRect(r, g);
    // A raised (or, pressed, sunken) edge.
    const QColor hi = palette().color(QPalette::Light);
    const QColor lo = palette().color(QPalette::Dark);
    p.setPen(down ? lo : hi);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(down ? hi : lo);
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    if (underMouse() && isEnabled()) {
        p.setPen(palette().color(QPalette::Highlight));
        p.drawRect(r.adjusted(1, 1, -2, -2));
    }
    p.setPen(isEnabled() ? palette().color(QPalette::ButtonText)
                         : palette().color(QPalette::Disabled, QPalette::ButtonText));
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, r.width() - 6);
    p.drawText(r.adjusted(3, 0, -3, 0).translated(down ? 1 : 0, down ? 1 : 0), Qt::AlignCenter, shown);
}

void GradientButton::enterEvent(QEnterEvent *event)
{
    QPushButton::enterEvent(event);
    emit hovered(true);
}

void GradientButton::leaveEvent(QEvent *event)
{
    QPushButton::leaveEvent(event);
    emit hovered(false);
}

} // namespace vorn
