// A tool bar with a blue title strip: collapsing hides its content and leaves the strip;
// a click on the title label restores it (or, where set, toggles it).
#pragma once

#include <QFrame>

class QLabel;
class QVBoxLayout;
class QToolButton;

namespace vorn
{

class CollapsibleToolBar : public QFrame
{
    Q_OBJECT
  public:
    // `name` is the bar's objectName, `titleName` its title label's (lb_...).
    CollapsibleToolBar(const QString &name, const QString &titleName, QWidget *parent = nullptr);

    QWidget *content() const { return content_; }
    QVBoxLayout *contentLayout() const { return contentLayout_; }
    // Adds a widget below the content there is.
    void addContent(QWidget *widget);
    QLabel *titleLabel() const { return title_; }
    bool isCollapsed() const { return collapsed_; }
    // With this set a click on the title collapses an open bar too, like the arrow button.
    void setTitleToggles(bool on) { titleToggles_ = on; }

  public slots:
    void collapse();
    void restore();

  signals:
    void collapsed();
    void restored();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QLabel *title_;
    QToolButton *toggle_;
    QWidget *content_;
    QVBoxLayout *contentLayout_;
    bool collapsed_ = false;
    bool titleToggles_ = false;
};

} // namespace vorn
