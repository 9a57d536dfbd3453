// The filter bar's buttons: fourteen fixed and fourteen user mask buttons, the user mask row,
// the configuration row with sg_maskconf, and the filter label pn_filter.
#pragma once

#include "files/app_context.h"
#include "files/masks.h"

#include <QWidget>

class QLabel;
class QTableWidget;
class QToolButton;

namespace vorn
{

class CollapsibleToolBar;
class StringGrid;

class MaskBarView : public QWidget
{
    Q_OBJECT
  public:
    MaskBarView(AppContext &ctx, int rowHeight, QWidget *parent = nullptr);
    // The frame's collapsible bar tbar_mask the mask buttons live in.
    static CollapsibleToolBar *makeBar(QWidget *parent);

    QToolButton *fixedButton(int tag) const { return fixed_[tag]; }
    QToolButton *userButton(int i) const { return user_[i]; }
    QTableWidget *grid() const { return sg_maskconf_; }
    const MaskState &state() const { return state_; }
    // Loads vorn.msk into the grid (when it exists), reporting a damaged file.
    void loadMaskFile();
    // Enables or disables all twenty-eight mask buttons alike, user masks without a caption
    // too (the lock-out around video playback does so; applying the grid disables those again).
    void setAllButtonsEnabled(bool on);

  public slots:
    void bt_maskwahl0click();
    void bt_maskwahl13Click();
    void bt_userdefinedClick();
    void bt_setmasksClick();
    void bt_maskconfigokClick();

  signals:
    // The bar grew or shrank by a row.
    void heightChanged();

  private:
    void apply_mask();
    QStringList userCells() const;
    void syncButtons();
    bool loadGrid();
    void showMaskGrid(StringGrid g);

    AppContext &ctx_;
    int rowHeight_;
    MaskState state_;
    QToolButton *fixed_[kFixedMaskCount] = {};
    QToolButton *user_[kUserMaskCount] = {};
    QToolButton *bt_userdefined_ = nullptr;
    QToolButton *bt_setmasks_ = nullptr;
    QToolButton *bt_maskconfigok_ = nullptr;
    QLabel *pn_filter_ = nullptr;
    QWidget *fup_usermask_ = nullptr;
    QWidget *fup_maskconfigmain_ = nullptr;
    QTableWidget *sg_maskconf_ = nullptr;
};

} // namespace vorn
