// The sort button configuration: a two-column grid (caption, target folder) with a title row,
// one data row per sort button, saved to and loaded from ".ctg" templates in the grid text
// format (title row included).
#pragma once

#include "base/string_grid.h"

#include <QString>

namespace vorn
{

// Adding buttons stops here.
inline constexpr int kMaxSortButtons = 200;
// A loaded template may hold at most this many buttons; a larger one is refused.
inline constexpr int kMaxTemplateButtons = 1000;
inline constexpr int kSortConfigColWidth = 120;

enum class TemplateLoadStatus { Ok, NotFound, Corrupt, TooMany };

class SortConfig
{
  public:
    SortConfig();

    // N: the configured rows (and, outside the configuration mode, the sort buttons).
    int count() const { return count_; }
    // The whole grid, title row 0 included; never fewer than 2 rows.
    const StringGrid &grid() const { return grid_; }
    // Takes the grid back from the editor: rows 1 .. count are the buttons.
    void setGrid(const StringGrid &grid, int count);

    void setTitles(const QString &caption, const QString &folder);
    QString caption(int k) const { return grid_.cell(0, k); }
    QString folder(int k) const { return grid_.cell(1, k); }
    void setCaption(int k, const QString &text) { grid_.setCell(0, k, text); }
    void setFolder(int k, const QString &text) { grid_.setCell(1, k, text); }

    // Adds an empty row; false (and nothing changes) when kMaxSortButtons are there.
    bool add_button();
    // Removes row k (1 .. N): the last remaining row is only emptied. Nothing when N is 0.
    void delete_row(int k);
    // No buttons, one empty data row, the titles kept, no template name.
    void clear();

    // The full path of the template last loaded; empty at start and after clearing.
    QString templateName() const { return templateName_; }

    bool save(const QString &path, QString *error = nullptr) const;
    // Clears, names the template after `path`, then reads it. On failure the configuration
    // stays cleared.
    TemplateLoadStatus load(const QString &path);

  private:
    StringGrid grid_;
    int count_ = 0;
    QString templateName_;
};

} // namespace vorn
