// The right-hand area: one panel per view, exactly one in front.
#pragma once

#include "files/app_context.h"

#include <QStackedWidget>

class QFrame;

namespace vorn
{

class ViewStack : public QStackedWidget
{
    Q_OBJECT
  public:
    explicit ViewStack(QWidget *parent = nullptr);

    // The panel of a view (pn_viewmain, pn_videomain, ...); views put their controls in it.
    QFrame *panel(View v) const;
    // The owner of the view objects of a panel that are not widgets; they are torn down
    // before the panel's controls.
    QObject *owner(View v) const;
    void bringToFront(View v);
    View front() const;
    static QString panelName(View v);

  private:
    QList<QObject *> owners_;
};

} // namespace vorn
