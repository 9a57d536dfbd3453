// The grid text format: a size line "C,R", "cw I,W" column-width lines and "X,Y,text" cell
// lines; line breaks inside a cell are stored as tab (CR) and backspace (LF).
#pragma once

#include "base/string_grid.h"

#include <QByteArray>
#include <QString>

namespace vorn
{

enum class GridLoadStatus { Ok, NotFound, Corrupt };

// Parses file content into `grid` (resized to the size line). Cells the text does not name keep
// what they held. Absurd sizes and binary content are Corrupt; memory never grows with what
// the size line claims beyond what the text can hold.
GridLoadStatus parse_grid_text(const QByteArray &bytes, StringGrid &grid);
GridLoadStatus load_grid(const QString &path, StringGrid &grid);

QStringList grid_text_lines(const StringGrid &grid);
bool save_grid(const QString &path, const StringGrid &grid, QString *error = nullptr);

} // namespace vorn
