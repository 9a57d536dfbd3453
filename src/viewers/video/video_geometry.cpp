#include "viewers/video/video_geometry.h"

#include <QString>

namespace vorn
{

QSize video_zoomed_size(QSize base, int p)
{
    if (p < 0)
        p = 0;
    if (p > kVideoZoomMax)
        p = kVideoZoomMax;
    return QSize(p * base.width() / 100 + base.width(), p * base.height() / 100 + base.height());
}

VideoLayout video_layout(QSize base, int p, QSize area)
{
    const QSize picture = video_zoomed_size(base, p);
    const QSize panel = picture + QSize(2 * kVideoInset, 2 * kVideoInset);
    // C++ division truncates toward zero, as the layout wants for a panel larger than the area.
    const int left = (area.width() - panel.width()) / 2;
    const int top = (area.height() - kVideoBottomRows - panel.height()) / 2;
    return {QRect(QPoint(left, top), panel), QRect(QPoint(kVideoInset, kVideoInset), picture)};
}

QSize video_base_size(const QRect &where)
{
    return where.size().expandedTo(QSize(0, 0));
}

QString video_zoom_text(const QString &prefix, int p)
{
    return prefix + QString::number(p + 100) + QLatin1Char('%');
}

QString video_loaded_zoom_text(const QString &prefix)
{
    return prefix + QStringLiteral(" 100%");
}

} // namespace vorn
