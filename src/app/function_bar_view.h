// The function bar tbar_main: the view buttons, theme, colours, hint size, language, info,
// help and close, with the colour panel fup_color below it.
#pragma once

#include "files/app_context.h"
#include "widgets/collapsible_toolbar.h"

#include <QColor>

class QButtonGroup;
class QMenu;
class QToolButton;

namespace vorn
{

class FunctionBarView : public CollapsibleToolBar
{
    Q_OBJECT
  public:
    explicit FunctionBarView(int rowHeight, QWidget *parent = nullptr);

    QToolButton *button(const char *name) const;
    QWidget *colorPanel() const { return fup_color_; }
    // The point size of the hints chosen in pop_hint.
    int hintSize() const { return hintSize_; }
    // The view button of the mode is down; help is off in rename mode.
    void showMode(ViewMode mode);
    // The texts the control table does not give: the five-language hint of bt_language.
    void applyTexts();

  public slots:
    void bt_colorsClick();
    void bt_256colsClick();
    void mi_fontsize8Click();

  signals:
    void viewButtonClicked(vorn::ViewMode mode);
    void themeChanged(bool textured);
    void viewingTextureChosen(bool blue);
    void viewingColorChosen(const QColor &color);
    void languageClicked();
    void infoClicked();
    void helpClicked();
    void closeClicked();
    // Any button but the view buttons was clicked.
    void functionClicked();

  private:
    QToolButton *addButton(QWidget *row, const char *name, const QIcon &icon, bool checkable = false);

    int rowHeight_;
    QButtonGroup *viewGroup_;
    QWidget *fup_color_;
    QMenu *pop_hint_;
    int hintSize_ = 9;
};

} // namespace vorn
