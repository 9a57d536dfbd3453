// The slideshow: the floating control panel pn_diabuts with its buttons, the interval timer
// tm_diashow, and slideshow mode (bars and list side hidden while the pictures fill the
// window). The rules live in Slideshow; the pictures are shown by the SlideHost.
#pragma once

#include "viewers/pictures/slideshow.h"

#include <QFrame>
#include <memory>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

namespace vorn
{

class AppContext;
class ActiveList;
class SlideHost;

class SlideshowView : public QFrame
{
    Q_OBJECT
  public:
    // `parent` is the widget the panel floats in (the window's client area); the pictures'
    // panel is the area the panel is placed over while no host gives its slide area.
    SlideshowView(AppContext &ctx, ActiveList &list, QWidget *picturesPanel, QWidget *parent);
    ~SlideshowView() override;

    // The picture view that shows the slides; the panel is placed over its slide area.
    void setHost(SlideHost *host);
    // bt_diashow on the picture tool bar: enters slideshow mode, enabled while the active
    // list has entries.
    void setShowButton(QAbstractButton *button);

    const Slideshow &state() const { return show_; }
    QTimer *timer() const { return tm_diashow_; }
    QToolButton *button(const char *name) const;

  public slots:
    // Locks the start button until the active list changes again.
    void disableShowButton();
    void bt_diashowClick();
    void bt_startdiashowClick();
    void bt_pauseshowClick();
    void bt_stopshowClick();
    void bt_repeatshowClick();
    void bt_diatimeupClick();
    void bt_diatimedownClick();
    void bt_diafirstClick(int tag);
    void bt_diaviewstyleClick(int tag);
    void tm_diashowTimer();

  signals:
    // Slideshow mode hides the list side and the bars of the window, and shows them again.
    void barsVisibilityRequested(bool visible);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    class SlideListAdapter;

    void buildRows();
    QToolButton *addButton(QWidget *row, const char *name, const QIcon &icon, bool checkable = false);
    void applyState();
    void applyStatusText();
    void readSeconds();
    void setInterval(int ms);
    void setBarsVisible(bool on);
    QWidget *area() const;
    QRect areaRect() const;
    void placeAtStart();
    void moveWithin(QPoint topLeft);
    void updateShowButton();

    AppContext &ctx_;
    ActiveList &activeList_;
    QWidget *picturesPanel_;
    SlideHost *host_ = nullptr;
    QAbstractButton *showButton_ = nullptr;
    QWidget *watchedArea_ = nullptr;
    Slideshow show_;
    std::unique_ptr<SlideListAdapter> list_;
    QTimer *tm_diashow_ = nullptr;
    QLabel *pn_diashowstat_ = nullptr;
    QLabel *pn_diashowcount_ = nullptr;
    QLineEdit *ed_diatime_ = nullptr;
    QButtonGroup *navGroup_ = nullptr;
    QButtonGroup *styleGroup_ = nullptr;
    bool inTick_ = false;
    bool dragged_ = false; // the user moved the panel: keep it where it is
};

} // namespace vorn
