// The background textures of the textured theme, drawn in code (no shipped bitmaps).
#pragma once

#include <QPixmap>

namespace vorn
{

enum class Texture { Aqua, Blue, White, Fu, Gold };

// A seamless tile of the texture; the same kind always gives the same pixels.
QPixmap texture_tile(Texture kind);

} // namespace vorn
