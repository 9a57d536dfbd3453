// The user's sort buttons ("sts_" + k in sb_sort) and their configuration mode: the grid
// sg_sortconf (caption, folder), the folder tree tv_sort, the command buttons of the sort bar
// (bt_configsort, bt_newbut, bt_buttondelete, bt_clearsort, bt_loadsort, bt_savesort,
// bt_newdir, bt_dirdelete) and the ".ctg" templates.
#pragma once

#include "files/app_context.h"
#include "sorting/sort_template.h"

#include <QHash>
#include <QStackedWidget>

class QFileSystemModel;
class QHBoxLayout;
class QModelIndex;
class QScrollArea;
class QTableWidget;
class QToolButton;
class QTreeView;

namespace vorn
{

class ActiveList;
class GradientButton;
class PanelStatusBar;
class SortEngine;

class SortConfigView : public QStackedWidget
{
    Q_OBJECT
  public:
    // The command buttons go into `buttonRow`.
    SortConfigView(AppContext &ctx, ActiveList &list, SortEngine &engine, PanelStatusBar &status,
                   QFileSystemModel *dirs, QHBoxLayout *buttonRow, int rowHeight, QWidget *parent = nullptr);

    const SortConfig &sortConfig() const { return config_; }
    bool isConfiguring() const;
    QScrollArea *buttonArea() const { return sb_sort_; }
    QTableWidget *grid() const { return sg_sortconf_; }
    QTreeView *folderTree() const { return tv_sort_; }
    // Sort button k, or null while it does not exist.
    GradientButton *sortButton(int k) const;

  public slots:
    void bt_sortconfigClick(bool down);
    void bt_newbutClick();
    void bt_buttondeleteClick();
    void bt_clearsortClick();
    void bt_savesortClick();
    void bt_loadsortClick();
    void bt_newdirClick();
    void bt_dirdeleteClick();
    void tv_sortDblClick(const QModelIndex &index);
    // A click on sort button k (from 1): its folder goes to sort_into_target.
    void sortButtonClick(int k);
    void update_sort_controls();
    void arrange_sort_buttons();
    void clear_sort_config();
    // Writes the title row in the current language.
    void applyTexts();
    // With the textures off the sort buttons are silver, else in the desktop's colours.
    void setTextured(bool textured);

  signals:
    // The configuration mode was entered or left (the bar adapts its height).
    void configModeChanged(bool on);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QToolButton *addCommand(const char *name, int icon, bool checkable, int rowHeight);
    // A command button of the row by its objectName.
    QToolButton *command(const char *name) const;
    void create_sort_button(int k);
    void place_sort_button(GradientButton *b, int perRow);
    void destroySortButtons();
    void buttonColors(GradientButton *b) const;
    void syncFromGrid();
    // A folder's files went to the trash: the tree shows what is left.
    void folderTrashed();
    void showConfig();
    void setEntriesPanel();
    void setTemplatePanel(bool upper);
    QString currentFolderOfTree() const;

    AppContext &ctx_;
    ActiveList &list_;
    SortEngine &engine_;
    PanelStatusBar &status_;
    SortConfig config_;
    QHBoxLayout *row_;
    QWidget *pn_sbsort_ = nullptr;
    QScrollArea *sb_sort_ = nullptr;
    QWidget *sortArea_ = nullptr;
    QWidget *pn_configsort_ = nullptr;
    QTableWidget *sg_sortconf_ = nullptr;
    QTreeView *tv_sort_ = nullptr;
    bool textured_ = true;
    QHash<QString, QToolButton *> commands_;
};

} // namespace vorn
