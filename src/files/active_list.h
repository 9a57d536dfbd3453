// A file list of the list area as other views see it. The active list is the folder list on
// the folder tab and the search list on the scan tab; the list area also offers the folder
// list and the search list on their own (the tree scan fills the search list, the catalog
// takes its pictures from either). Owned by the list area; the picture view, the slideshow,
// the sort bar, the scan panel and the catalog use it instead of reaching into the list area.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace vorn
{

class ActiveList : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual int count() const = 0;
    // Selected rows in list order.
    virtual QList<int> selectedRows() const = 0;
    // The focused row, or the first selected one; -1 when none.
    virtual int currentRow() const = 0;
    // The full path of a row as the file system spells it; empty outside the list.
    virtual QString path(int row) const = 0;
    // True when the list has a focused item.
    virtual bool hasFocusItem() const = 0;
    // True when the list has the keyboard focus in the window.
    virtual bool hasFocus() const = 0;
    // True when the list is visible and enabled (it can take the focus).
    virtual bool isShown() const = 0;
    virtual void takeFocus() = 0;
    // Selects exactly `row`, makes it current and scrolls to it; with `show`, the file is
    // routed to its view and the position texts follow, as a click on it would.
    virtual void select(int row, bool show) = 0;
    // As a click on the list: a single selected file is routed to its view.
    virtual void activate() = 0;
    virtual void deselect() = 0;
    // Adds the rows to the selection, keeping what is selected.
    virtual void selectMore(const QList<int> &rows) { Q_UNUSED(rows) }
    // Takes the rows out of the list (the files are gone from disk).
    virtual void removeRows(const QList<int> &rows) = 0;
    // The list shows what is on disk again: the folder is listed again, and from the search
    // list the entries whose files are gone are taken out.
    virtual void refreshFromDisk() = 0;
    // Rewrites the selection read-out and position texts.
    virtual void updateReadout() = 0;
    // The operations below do nothing on a list that does not have them.
    // Empties the list.
    virtual void clear() {}
    // Adds files (full paths) at the end of the list.
    virtual void append(const QStringList &paths) { Q_UNUSED(paths) }
    // Puts the tab of this list in front.
    virtual void bringToFront() {}
    // The found-count text under the search list.
    virtual void setFoundText(const QString &text) { Q_UNUSED(text) }
    void clearFoundCount() { setFoundText(QString()); }
    // Recomputes which list buttons are enabled.
    virtual void updateButtons() {}

    // The row after `row`, or -1 at the end.
    int next(int row) const { return row + 1 < count() ? row + 1 : -1; }
    // The selected row the views treat as "the" selection: the focused one when it is
    // selected, else the first selected; -1 when none.
    int selectedIndex() const
    {
        const QList<int> rows = selectedRows();
        if (rows.isEmpty())
            return -1;
        const int cur = currentRow();
        return rows.contains(cur) ? cur : rows.first();
    }

  signals:
    // The contents, the selection or which list is active changed.
    void changed();
    // A new listing of the folder list has arrived.
    void folderListed();
};

} // namespace vorn
