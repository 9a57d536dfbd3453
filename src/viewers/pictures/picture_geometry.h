// The arithmetic of the picture view, the slideshow interval and the magnifier steps, kept apart
// from the widgets so that it can be tested as tables.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace vorn
{

class Texts;

constexpr int kMinZoomFactor = 1;
constexpr int kMaxZoomFactor = 15;
constexpr int kTrackDefault = 100; // trb_1 position at 100 %
constexpr int kTrackMax = 200;

// Factor zoom: factor x natural size, placed at (0, 0).
QSize factor_size(QSize natural, int factor);
// Percentage zoom: position x natural div 100, truncating (position 0 gives 0 x 0).
QSize percent_size(QSize natural, int position);

// Zoom buttons: the next factor and whether each button stays enabled.
int zoom_in_factor(int factor);  // +1 up to 15
int zoom_out_factor(int factor); // -1 down to 1
inline bool zoom_in_enabled(int factor)
{
    return factor < kMaxZoomFactor;
}
inline bool zoom_out_enabled(int factor)
{
    return factor >= 2;
}

// Best fit into the view's outer size: the side with the smaller ratio fills the view, equal
// ratios fill the width; the other side is rounded half to even (never below 1 pixel) and
// centred (div truncates).
// Returns a null rect when the natural size has a side below 1 (best fit does not apply).
QRect best_fit_rect(QSize view, QSize natural);

// Centring: ((client - picture) div 2) on both axes, truncating toward zero, so a picture
// larger than the view gets negative offsets.
QPoint centre_offset(QSize client, QSize picture);

// The scrolled area of the view: at least the visible area and as far as the picture reaches.
// `client` is the view without scroll bars; a bar is set aside only where the picture needs
// it (a vertical bar narrows the view and may so call for the horizontal one, and back).
QSize canvas_size(QSize client, QSize pictureExtent, QSize barThickness);

// The background tester's tiles over a view: columns = view width div tile width + 1, rows =
// view height div tile height + 1, so the grid always reaches past the view's right and bottom
// edges. Tile n lies at column n mod columns of row n div columns. Empty when the tile or the
// view has no area.
struct TileGrid {
    QSize tile;
    int columns = 0;
    int rows = 0;
    int count() const { return columns * rows; }
    QSize extent() const { return QSize(columns * tile.width(), rows * tile.height()); }
    // The bounds of tile n; a null rect outside the grid.
    QRect tileRect(int n) const;
};
TileGrid tile_grid(QSize view, QSize tile);

// Integer nearest to v with halves going to the even neighbour.
int round_half_even(double v);

// Status texts: "640 x 480" and the zoom text ("Faktor: 3", "Size : 100%", "Size : 50%").
QString natural_size_text(QSize natural);
QString zoom_status_text(const Texts &texts, int factor, int trackPosition);

// GIF speed in per cent: steps of 5 (up or down), never below 1; the up button is enabled
// while the speed is below 500, the down button while it is above 5.
constexpr int kGifSpeedStep = 5;
constexpr int kGifSpeedMax = 500;
constexpr int kGifSpeedMin = 5;
int next_gif_speed(int speed, bool up);
inline bool gif_speed_up_enabled(int speed)
{
    return speed < kGifSpeedMax;
}
inline bool gif_speed_down_enabled(int speed)
{
    return speed > kGifSpeedMin;
}

// Slideshow interval in seconds, 1 to 360; the timer runs at seconds x 1000 ms.
constexpr int kSlideIntervalMin = 1;
constexpr int kSlideIntervalMax = 360;
int next_slide_interval(int seconds, bool up);
inline int slide_interval_ms(int seconds)
{
    return seconds * 1000;
}

// Magnifier: enlargement 1 to 9 in steps of 1; panel widths 154 to 404 in steps of 25.
constexpr int kLupeFactorMin = 1;
constexpr int kLupeFactorMax = 9;
constexpr int kLupeSizeMin = 154;
constexpr int kLupeSizeMax = 404;
constexpr int kLupeSizeStep = 25;
int next_lupe_factor(int factor, bool up);
// New panel width (and height) after a bigger/smaller click from width w.
int next_lupe_size(int width, bool bigger);
// After a bigger click from width w: bt_lupebigger stays enabled only if w was below 400.
inline bool lupe_bigger_enabled_after(int widthBefore)
{
    return widthBefore < 400;
}
// After a smaller click: bt_lupesmaller stays enabled while the new width is 155 or more.
inline bool lupe_smaller_enabled_after(int widthAfter)
{
    return widthAfter >= 155;
}

} // namespace vorn
