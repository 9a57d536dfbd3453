// The sort tool bar's contents (pn_sortmain in tbar_sortmain): the copy/move buttons, the
// quick-select panel with its folder tree and three target buttons, the sort buttons and
// their configuration (SortConfigView), the keys of the targets and the undo of sort runs.
#pragma once

#include "files/app_context.h"
#include "sorting/sort_engine.h"

#include <QWidget>
#include <array>
#include <memory>

class QFileSystemModel;
class QHBoxLayout;
class QModelIndex;
class QRadioButton;
class QSplitter;
class QToolButton;
class QTreeView;

namespace vorn
{

class CollapsibleToolBar;
class GradientButton;
class ActiveList;
class PanelStatusBar;
class ProgressPanel;
class SortConfigView;

class SortBarView : public QWidget
{
    Q_OBJECT
  public:
    // The frame's collapsible bar tbar_sortmain the sort bar lives in.
    static CollapsibleToolBar *makeBar(QWidget *parent);
    SortBarView(AppContext &ctx, ActiveList &list, CollapsibleToolBar &bar, PanelStatusBar &status,
                int rowHeight, QWidget *parent = nullptr);
    ~SortBarView() override;

    SortEngine &engine() { return *engine_; }
    SortConfigView *config() const { return config_; }
    QToolButton *button(const char *name) const;
    // The panel that shows the progress of a run and its cancel, and locks the window
    // around it.
    void setProgressPanel(ProgressPanel *panel);

  public slots:
    void bt_copyfileClick();
    void bt_movefileClick();
    void bt_sorttofolderClick(bool down);
    void tvsortClick(const QModelIndex &index);
    // Writes the folder into the quick target of the selected radio button.
    void assignQuickTarget(const QString &folder);
    // The three quick buttons (tags 661 .. 663).
    void bt_intofolder1Click();
    void sortToQuickTarget(int k);
    // Ctrl+Z: undoes the last sort run; the lists then show what is on disk when it ends.
    void undoLastRun();
    void applyTexts();

  signals:
    // The list was emptied by a run: the views let go of what they show.
    void releaseViews();
    // The quick targets were opened: the slideshow cannot be entered meanwhile.
    void quickTargetsShown();

  private:
    void setBusy(bool busy);
    void buildQuickPanel(QWidget *parent);
    void buildShortcuts();
    void updateQuickHints();
    void fitHeight();
    void tbar_sortmainMaximize();
    void tbar_sortmainRestore();

    AppContext &ctx_;
    ActiveList &list_;
    CollapsibleToolBar &bar_;
    PanelStatusBar &status_;
    int rowHeight_;
    std::unique_ptr<SortListAccess> listAccess_;
    SortEngine *engine_ = nullptr;
    QFileSystemModel *dirs_ = nullptr;
    QWidget *pn_sorttodir_ = nullptr;
    QWidget *pn_sorttofolder_ = nullptr;
    QSplitter *split_sortfolder_ = nullptr;
    QTreeView *tvsort_ = nullptr;
    std::array<QRadioButton *, 3> rb_qs_{};
    std::array<GradientButton *, 3> bt_intofolder_{};
    SortConfigView *config_ = nullptr;
    ProgressPanel *panel_ = nullptr;
};

} // namespace vorn
