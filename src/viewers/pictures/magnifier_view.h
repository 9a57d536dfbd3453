// The magnifier: the toggle bt_lupe in the picture tool bar and the floating panel pn_lupe over
// the view area, with its size and enlargement buttons and its grip.
#pragma once

#include <QObject>

class QFrame;
class QToolButton;
class QWidget;

namespace vorn
{

class DragGrip;
class MagnifierWidget;

class MagnifierView : public QObject
{
    Q_OBJECT
  public:
    // bt_lupe belongs to the picture tool bar; the panel floats over `area`.
    MagnifierView(QToolButton *bt_lupe, QWidget *area, QObject *parent = nullptr);

    QFrame *panel() const { return pn_lupe_; }
    MagnifierWidget *magnifier() const { return lupe_; }
    QToolButton *button(const char *name) const;
    // Releases bt_lupe and hides the panel (the slideshow does this when it starts).
    void switchOff();

  public slots:
    void bt_lupeClick();
    void bt_lupeincfaktorClick();
    void bt_lupedecfaktorClick();
    void bt_lupebiggerClick();
    void bt_lupesmallerClick();

  private:
    void setPanelSize(int side);
    void placeGrip();

    QToolButton *bt_lupe_;
    QFrame *pn_lupe_ = nullptr;
    QWidget *fup_lupebuts_ = nullptr;
    QToolButton *bt_lupesmaller_ = nullptr;
    QToolButton *bt_lupebigger_ = nullptr;
    QToolButton *bt_lupedecfaktor_ = nullptr;
    QToolButton *bt_lupeincfaktor_ = nullptr;
    DragGrip *img_movelupectrl_ = nullptr;
    MagnifierWidget *lupe_ = nullptr;
};

} // namespace vorn
