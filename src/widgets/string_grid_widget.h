// Shows a StringGrid in a QTableWidget and reads it back: cells and column widths.
#pragma once

#include "base/string_grid.h"

class QTableWidget;

namespace vorn
{

void show_grid(const StringGrid &grid, QTableWidget *table);
StringGrid grid_from_table(const QTableWidget *table);

} // namespace vorn
