#include "base/string_grid.h"

namespace vorn
{

void StringGrid::setSize(int cols, int rows)
{
    cols = qMax(0, cols);
    rows = qMax(0, rows);
    if (cols == cols_ && rows == rows_)
        return;
    QList<QString> cells(qsizetype(cols) * rows);
    for (int r = 0; r < qMin(rows, rows_); ++r)
        for (int c = 0; c < qMin(cols, cols_); ++c)
            cells[qsizetype(r) * cols + c] = cells_[qsizetype(r) * cols_ + c];
    cells_ = std::move(cells);
    widths_.resize(cols, kDefaultColWidth);
    cols_ = cols;
    rows_ = rows;
}

QString StringGrid::cell(int col, int row) const
{
    if (col < 0 || row < 0 || col >= cols_ || row >= rows_)
        return {};
    return cells_[qsizetype(row) * cols_ + col];
}

void StringGrid::setCell(int col, int row, const QString &text)
{
    if (col < 0 || row < 0 || col >= cols_ || row >= rows_)
        return;
    cells_[qsizetype(row) * cols_ + col] = text;
}

int StringGrid::colWidth(int col) const
{
    return col >= 0 && col < cols_ ? widths_[col] : 0;
}

void StringGrid::setColWidth(int col, int width)
{
    if (col >= 0 && col < cols_)
        widths_[col] = width;
}

void StringGrid::setAllColWidths(int width)
{
    widths_.fill(width);
}

void StringGrid::removeRow(int row)
{
    if (row < 0 || row >= rows_)
        return;
    cells_.remove(qsizetype(row) * cols_, cols_);
    --rows_;
}

void StringGrid::clearCells()
{
    for (QString &c : cells_)
        c.clear();
}

} // namespace vorn
