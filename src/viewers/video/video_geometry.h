// The arithmetic of the video picture: its size at a track bar position, the output panel
// around it, and its place in the video area, with integer divisions throughout.
#pragma once

#include <QRect>
#include <QSize>

namespace vorn
{

// The output panel's bevel and gap: the picture sits this many pixels inside each edge.
constexpr int kVideoInset = 3;
// The track bar: 0 is 100 %, 400 is 500 %.
constexpr int kVideoZoomMax = 400;
// The zoom row and status bar below the picture take this much of the video area's height.
constexpr int kVideoBottomRows = 40;

struct VideoLayout {
    QRect panel;   // pn_videoout inside pn_video
    QRect display; // the picture inside pn_videoout: left, top, width, height
};

// The picture at track bar position p (0 to 400): p x base div 100 + base in each direction.
QSize video_zoomed_size(QSize base, int p);

// The panel around the picture at position p, centred in an area of `area` size:
// left = (area width - panel width) div 2, top = (area height - 40 - panel height) div 2.
VideoLayout video_layout(QSize base, int p, QSize area);

// The part of the picture the area shows (the panel is cut at the area's edges and above the
// bottom rows), in the picture's coordinates; empty when nothing of it shows.
QRect video_visible_part(const VideoLayout &layout, QSize area);

// How much a player that fits the video into an output of `visible`'s size (keeping the
// aspect, centred) enlarges it, as a power of 2, so that the output shows exactly that part of
// the picture: the part is centred in the picture, as the view centres the picture.
double video_zoom_exponent(QSize picture, QSize visible);

// The base size from the rectangle a natural-size query reports (left, top, width, height).
QSize video_base_size(const QRect &where);

// The zoom status: the size prefix ("Size : "), p + 100 and "%".
QString video_zoom_text(const QString &prefix, int p);
// The zoom status right after loading: the prefix and " 100%" (two blanks in all).
QString video_loaded_zoom_text(const QString &prefix);

} // namespace vorn
