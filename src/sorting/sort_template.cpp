#include "sorting/sort_template.h"

#include "base/grid_text.h"

namespace vorn
{

SortConfig::SortConfig()
{
    grid_.setSize(2, 2);
    grid_.setAllColWidths(kSortConfigColWidth);
}

void SortConfig::setGrid(const StringGrid &grid, int count)
{
    grid_ = grid;
    count_ = qBound(0, count, grid.rowCount() - 1);
    grid_.setSize(2, qMax(2, count_ + 1));
}

void SortConfig::setTitles(const QString &caption, const QString &folder)
{
    grid_.setCell(0, 0, caption);
    grid_.setCell(1, 0, folder);
}

bool SortConfig::add_button()
{
    if (count_ >= kMaxSortButtons)
        return false;
    ++count_;
    grid_.setSize(2, qMax(2, count_ + 1));
    return true;
}

void SortConfig::delete_row(int k)
{
    if (count_ == 0)
        return;
    if (grid_.rowCount() == 2) {
        grid_.setCell(0, 1, QString());
        grid_.setCell(1, 1, QString());
    } else {
        grid_.removeRow(qBound(1, k, grid_.rowCount() - 1));
    }
    --count_;
}

void SortConfig::clear()
{
    const QString t0 = grid_.cell(0, 0);
    const QString t1 = grid_.cell(1, 0);
    const int w0 = grid_.colWidth(0);
    const int w1 = grid_.colWidth(1);
    grid_ = StringGrid(2, 2);
    grid_.setColWidth(0, w0);
    grid_.setColWidth(1, w1);
    setTitles(t0, t1);
    count_ = 0;
    templateName_.clear();
}

bool SortConfig::save(const QString &path, QString *error) const
{
    return save_grid(path, grid_, error);
}

TemplateLoadStatus SortConfig::load(const QString &path)
{
    clear();
    templateName_ = path;
    StringGrid loaded(grid_.colCount(), grid_.rowCount());
    switch (load_grid(path, loaded)) {
    case GridLoadStatus::NotFound:
        return TemplateLoadStatus::NotFound;
    case GridLoadStatus::Corrupt:
        return TemplateLoadStatus::Corrupt;
    case GridLoadStatus::Ok:
        break;
    }
    if (loaded.rowCount() - 1 > kMaxTemplateButtons)
        return TemplateLoadStatus::TooMany;
    // Only the two columns of the configuration count; a width the file does not give stays.
    const int rows = loaded.rowCount();
    loaded.setSize(2, qMax(2, rows));
    for (int c = 0; c < 2; ++c)
        if (loaded.colWidth(c) <= 0)
            loaded.setColWidth(c, kSortConfigColWidth);
    grid_ = loaded;
    count_ = rows - 1;
    return TemplateLoadStatus::Ok;
}

} // namespace vorn
