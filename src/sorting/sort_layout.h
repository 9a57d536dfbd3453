// The arithmetic of the sort button area: buttons flow in rows, left to right and top to
// bottom, without gaps; and the short caption of a quick button.
#pragma once

#include <QPoint>
#include <QString>
#include <functional>

namespace vorn
{

inline constexpr int kSortButtonWidth = 75;
inline constexpr int kSortButtonHeight = 29;

// Buttons per row for an area of this client width; 0 when not even one fits.
int sort_buttons_per_row(int clientWidth);
// Top-left corner of button k (from 1) with `perRow` buttons in a row (perRow > 0).
QPoint sort_button_pos(int k, int perRow);

// Shortens a folder path to fit `width` as measured by `measure`: folder names between the
// first one (the drive) and the last one give way to "...", so both stay readable; when even
// that is too wide, the last folder name alone, cut at its end with "...".
QString shorten_path(const QString &path, int width, const std::function<int(const QString &)> &measure);

} // namespace vorn
