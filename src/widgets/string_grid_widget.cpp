#include "widgets/string_grid_widget.h"

#include <QTableWidget>

namespace vorn
{

void show_grid(const StringGrid &grid, QTableWidget *table)
{
    table->setColumnCount(grid.colCount());
    table->setRowCount(grid.rowCount());
    for (int c = 0; c < grid.colCount(); ++c)
        table->setColumnWidth(c, grid.colWidth(c));
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.colCount(); ++c) {
            QTableWidgetItem *item = table->item(r, c);
            if (!item)
                table->setItem(r, c, item = new QTableWidgetItem);
            item->setText(grid.cell(c, r));
        }
}

StringGrid grid_from_table(const QTableWidget *table)
{
    StringGrid g(table->columnCount(), table->rowCount());
    for (int c = 0; c < table->columnCount(); ++c)
        g.setColWidth(c, table->columnWidth(c));
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c)
            if (const QTableWidgetItem *item = table->item(r, c))
                g.setCell(c, r, item->text());
    return g;
}

} // namespace vorn
