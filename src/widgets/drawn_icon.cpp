#include "widgets/drawn_icon.h"

#include <QPainter>
#include <QPixmap>

namespace vorn
{

QIcon drawn_icon(const std::function<void(QPainter &)> &draw, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return QIcon(pm);
}

} // namespace vorn
