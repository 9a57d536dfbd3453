// The tool bar of the picture view, tbar_view / fup_view: the buttons bt_gotocatalog to
// bt_copytoclpb, the GIF speed field ed_giftime and its arrows. Built here; the picture view
// connects the buttons to its handlers.
#pragma once

#include <QObject>

class QLineEdit;
class QToolButton;
class QWidget;

namespace vorn
{

class CollapsibleToolBar;

// The tags that tell the two GIF speed arrows apart.
constexpr int kTagGifSpeedUp = 1100;
constexpr int kTagGifSpeedDown = 1101;

class PictureToolBar : public QObject
{
    Q_OBJECT
  public:
    // Builds the bar into the layout of `pn_viewmain`.
    PictureToolBar(QWidget *pn_viewmain, int rowHeight, QObject *parent = nullptr);

    CollapsibleToolBar *bar() const { return tbar_view_; }

    QToolButton *bt_gotocatalog = nullptr; // hidden until the catalog shows it
    QToolButton *bt_diashow = nullptr;
    QToolButton *bt_backgr = nullptr;
    QToolButton *bt_bestfit = nullptr;
    QToolButton *bt_center = nullptr;
    QToolButton *bt_shape = nullptr;
    QToolButton *bt_zoomout = nullptr;
    QToolButton *bt_zoomin = nullptr;
    QToolButton *bt_lupe = nullptr;
    QToolButton *bt_copytoclpb = nullptr;
    QLineEdit *ed_giftime = nullptr;
    QToolButton *bt_gifspeedup = nullptr;   // tag kTagGifSpeedUp
    QToolButton *bt_gifspeeddown = nullptr; // tag kTagGifSpeedDown

  private:
    QToolButton *addArrow(const char *name, bool up, int rowHeight);

    CollapsibleToolBar *tbar_view_ = nullptr;
    QWidget *fup_view_ = nullptr;
};

} // namespace vorn
