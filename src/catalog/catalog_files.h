// The catalog folder and the catalog list without widgets: counting and clearing the pages,
// the list rows (description, file) kept in a two-column grid, the description rule, and
// opening a catalog file into the catalog folder through a staging folder, so that a damaged
// or hostile file never touches anything but the catalog folder.
#pragma once

#include "archives/folder_packer.h"
#include "files/file_helpers.h"

#include <QString>

namespace vorn
{

class StringGrid;

constexpr int kCatalogDescriptionLength = 25;

// The first 25 characters of the input.
QString catalog_description(const QString &input);

// The list: one row per catalog, column 0 the description, column 1 the file; at least one
// row, which is empty when there is no catalog.
bool catalog_list_empty(const StringGrid &grid);
// Uses the first row when it is empty, else appends one; returns the row.
int catalog_list_add(StringGrid &grid, const QString &description, const QString &file);
// Removes the row; the only row is emptied instead.
void catalog_list_remove(StringGrid &grid, int row);
// Swaps the row with its neighbour (delta -1 up, +1 down); false when there is none.
bool catalog_list_move(StringGrid &grid, int row, int delta);

// Replaces line 2 of every page 1..count_catalog_pages(dir) by " " + description + " ".
bool retitle_catalog_pages(const QString &dir, const QString &description);

// Unpacks the catalog file into a staging folder beside tempDir, then moves the contents of
// its root folder into tempDir (which the caller has emptied). Returns a PackCode; on failure
// tempDir is left as it was. The packer's progress follows the unpack.
int open_catalog_file(FolderPacker &packer, const QString &file, const QString &tempDir);

} // namespace vorn
