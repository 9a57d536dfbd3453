// A status bar of fixed panels, each a sunken label addressed by its index.
#pragma once

#include <QFrame>
#include <QList>

class QLabel;

namespace vorn
{

class PanelStatusBar : public QFrame
{
    Q_OBJECT
  public:
    // widths: the panels' widths; 0 makes a panel take the remaining room.
    PanelStatusBar(const QString &name, const QList<int> &widths, QWidget *parent = nullptr);

    int panelCount() const { return int(panels_.size()); }
    QString panelText(int i) const;
    void setPanelText(int i, const QString &text);
    QLabel *panel(int i) const { return panels_.value(i); }

  private:
    QList<QLabel *> panels_;
};

} // namespace vorn
