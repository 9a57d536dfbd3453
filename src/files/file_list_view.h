// A file list (lv, lvscan): report style without headers, several items selectable, keys
// handled before the list acts on them.
#pragma once

#include "files/file_list_model.h"

#include <QTreeView>

namespace vorn
{

class FileListView : public QTreeView
{
    Q_OBJECT
  public:
    FileListView(const QString &name, FileListModel *model, QWidget *parent = nullptr);

    FileListModel *fileModel() const { return model_; }
    int count() const { return model_->rowCount(); }
    // Selected rows in list order.
    QList<int> selectedRows() const;
    int selectedCount() const { return int(selectedRows().size()); }
    // The focused row, or the first selected one; -1 when none.
    int currentRow() const;
    // Selects exactly this row, makes it current and scrolls it into view.
    void selectRow(int row);
    bool isEditingName() const { return state() == QAbstractItemView::EditingState; }
    // Reads the key-stepping switch (Ctrl steps forward, Shift back).
    void setKeySteppingSource(const bool *flag) { stepping_ = flag; }

  signals:
    // A click on an item (or the keyboard's equivalent), to be routed by the owner.
    void itemClicked();
    // A navigation key was released on a single selection: show the focused file.
    void navigated(int row);
    // Other keys were released: only the position texts follow.
    void positionChanged();
    void deleteRequested();

  protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    FileListModel *model_;
    const bool *stepping_ = nullptr;
};

} // namespace vorn
