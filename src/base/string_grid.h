// A table of text cells with column widths: the data behind every string grid of the program.
#pragma once

#include <QList>
#include <QString>

namespace vorn
{

class StringGrid
{
  public:
    static constexpr int kDefaultColWidth = 64;

    StringGrid() = default;
    StringGrid(int cols, int rows) { setSize(cols, rows); }

    int colCount() const { return cols_; }
    int rowCount() const { return rows_; }
    // Resizes; cells inside both the old and the new size keep their text.
    void setSize(int cols, int rows);

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString &text);
    int colWidth(int col) const;
    void setColWidth(int col, int width);
    void setAllColWidths(int width);

    // Removes row `row`, moving the rows below it up; the row count drops by one.
    void removeRow(int row);
    void clearCells();

    bool operator==(const StringGrid &o) const = default;

  private:
    int cols_ = 0;
    int rows_ = 0;
    QList<int> widths_;
    QList<QString> cells_; // row-major
};

} // namespace vorn
