// The messages of a grid file that cannot be loaded, in the current language.
#pragma once

#include "base/grid_text.h"

namespace vorn
{

class AppContext;
class Texts;

// "File <path> not found" or "File contains no data or corrupt file <path>"; empty for Ok.
QString grid_load_error(const Texts &texts, GridLoadStatus status, const QString &path);
// Loads the grid and shows the error box when it fails; true when it loaded.
bool load_grid_reported(AppContext &ctx, const QString &path, StringGrid &grid);

} // namespace vorn
