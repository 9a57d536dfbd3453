#include "viewers/pictures/picture_geometry.h"

#include "lang/texts.h"

#include <algorithm>
#include <cmath>

namespace vorn
{

QSize factor_size(QSize natural, int factor)
{
    return QSize(natural.width() * factor, natural.height() * factor);
}

QSize percent_size(QSize natural, int position)
{
    // 64-bit products: a big picture times 200 must not overflow before the division.
    const qint64 w = qint64(natural.width()) * position / 100;
    const qint64 h = qint64(natural.height()) * position / 100;
    return QSize(int(w), int(h));
}

int zoom_in_factor(int factor)
{
    return factor < kMaxZoomFactor ? factor + 1 : factor;
}

int zoom_out_factor(int factor)
{
    return factor > kMinZoomFactor ? factor - 1 : factor;
}

TileGrid tile_grid(QSize view, QSize tile)
{
    if (tile.width() < 1 || tile.height() < 1 || view.width() < 0 || view.height() < 0)
        return {};
    return TileGrid{tile, view.width() / tile.width() + 1, view.height() / tile.height() + 1};
}

QRect TileGrid::tileRect(int n) const
{
    if (n < 0 || n >= count())
        return {};
    return QRect((n % columns) * tile.width(), (n / columns) * tile.height(), tile.width(), tile.height());
}

int round_half_even(double v)
{
    return int(std::nearbyint(v)); // default rounding mode: to nearest, ties to even
}

QRect best_fit_rect(QSize view, QSize natural)
{
    const int w = natural.width();
    const int h = natural.height();
    if (w < 1 || h < 1)
        return QRect();
    const int W = view.width();
    const int H = view.height();
    const double rx = double(W) / w;
    const double ry = double(H) / h;
    if (ry < rx) {
        // A line of a picture stays visible: the rounded side never drops below 1 pixel.
        const int nw = std::max(1, round_half_even(ry * w));
        return QRect((W - nw) / 2, 0, nw, H);
    }
    const int nh = std::max(1, round_half_even(rx * h));
    return QRect(0, (H - nh) / 2, W, nh);
}

QPoint centre_offset(QSize client, QSize picture)
{
    return QPoint((client.width() - picture.width()) / 2, (client.height() - picture.height()) / 2);
}

QSize canvas_size(QSize client, QSize pictureExtent, QSize barThickness)
{
    bool vertical = pictureExtent.height() > client.height();
    bool horizontal = pictureExtent.width() > client.width();
    if (vertical && !horizontal)
        horizontal = pictureExtent.width() > client.width() - barThickness.width();
    if (horizontal && !vertical)
        vertical = pictureExtent.height() > client.height() - barThickness.height();
    const QSize visible(client.width() - (vertical ? barThickness.width() : 0),
                        client.height() - (horizontal ? barThickness.height() : 0));
    return visible.expandedTo(pictureExtent).expandedTo(QSize(0, 0));
}

QString natural_size_text(QSize natural)
{
    return QString::number(natural.width()) + QStringLiteral(" x ") + QString::number(natural.height());
}

QString zoom_status_text(const Texts &texts, int factor, int trackPosition)
{
    QString text;
    if (factor > 1)
        text = texts.msg(Msg::Factor) + QString::number(factor);
    else
        text = texts.msg(Msg::SizeLabel) + QStringLiteral("100%");
    if (trackPosition != kTrackDefault)
        text = texts.msg(Msg::SizeLabel) + QString::number(trackPosition) + QLatin1Char('%');
    return text;
}

int next_gif_speed(int speed, bool up)
{
    return std::max(1, speed + (up ? kGifSpeedStep : -kGifSpeedStep));
}

int next_slide_interval(int seconds, bool up)
{
    if (up)
        return seconds < kSlideIntervalMax ? seconds + 1 : seconds;
    return seconds > kSlideIntervalMin ? seconds - 1 : seconds;
}

int next_lupe_factor(int factor, bool up)
{
    if (up)
        return factor < kLupeFactorMax ? factor + 1 : factor;
    return factor > kLupeFactorMin ? factor - 1 : factor;
}

int next_lupe_size(int width, bool bigger)
{
    if (bigger)
        return width < 400 ? width + kLupeSizeStep : width;
    return width > kLupeSizeMin ? width - kLupeSizeStep : width;
}

} // namespace vorn
