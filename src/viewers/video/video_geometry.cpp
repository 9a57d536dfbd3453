#include "viewers/video/video_geometry.h"

#include <QString>

#include <cmath>

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

QRect video_visible_part(const VideoLayout &layout, QSize area)
{
    const QRect shown(QPoint(0, 0), QSize(area.width(), area.height() - kVideoBottomRows));
    const QRect picture = layout.display.translated(layout.panel.topLeft());
    return (shown & picture).translated(-picture.topLeft());
}

double video_zoom_exponent(QSize picture, QSize visible)
{
    if (picture.isEmpty() || visible.isEmpty())
        return 0;
    // The width the player fits the video to in an output of the visible size.
    const double aspect = double(picture.width()) / picture.height();
    const double fitted = double(visible.width()) / visible.height() > aspect ? visible.height() * aspect
                                                                              : double(visible.width());
    return std::log2(picture.width() / fitted);
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
