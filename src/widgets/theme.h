// The textured and plain themes and the backgrounds of the viewing areas.
#pragma once

#include "widgets/textures.h"

#include <QColor>

class QWidget;

namespace vorn
{

// The height of one row of tool buttons.
inline constexpr int kButtonRowHeight = 23;

// The five viewing areas that the background buttons and swatches change.
inline constexpr const char *kViewingAreas[] = {"sb_1", "sb_sort", "pn_zipout", "pn_emptyzip", "pn_main"};

// Puts the textures of the textured theme on the controls below root (found by name), or
// removes every texture for the plain theme.
void apply_theme(QWidget *root, bool textured);
// The blue or white texture on the five viewing areas.
void set_viewing_texture(QWidget *root, Texture kind);
// A plain colour on the five viewing areas (their textures removed).
void set_viewing_color(QWidget *root, const QColor &color);
// The text colour of the tool bar titles in the textured or the plain theme.
QColor title_text_color(bool textured);
// One control's texture on, or off (back to the style's window colour).
void set_texture(QWidget *w, Texture kind);
void remove_texture(QWidget *w);
// True when the widget shows a texture tile as its background.
bool has_texture(const QWidget *w);

// The sixteen swatches of the colour panel.
QColor swatch_color(int index);

} // namespace vorn
