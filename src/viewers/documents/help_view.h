// The help view inside pn_helpmain: one button per help topic (hlp_...) beside the renderer
// htmlhelp, and hlp_ende to close the view. The pages live in help_dir, one set per language;
// the shipped set is copied there when pages are missing.
#pragma once

#include "files/app_context.h"

#include <QObject>

class QFrame;
class QPushButton;

namespace vorn
{

class AppContext;
class HtmlBrowser;

class HelpView : public QObject
{
    Q_OBJECT
  public:
    HelpView(AppContext &ctx, QFrame *pn_helpmain, QObject *parent = nullptr);

    HtmlBrowser *browser() const { return htmlhelp_; }
    QPushButton *topicButton(const QString &name) const;
    // The page shown now, "#anchor" included.
    QString currentPage() const { return page_; }
    // The view that was in front before the help came: closing the help brings it back.
    View returnView() const { return returnView_; }

  public slots:
    // Loads a page of help_dir or a full path ("e_viewer.htm#text") and asks to be shown.
    void showPage(const QString &page);
    // F1 and the help button: the start page of the current language.
    void bt_helpClick();
    // Shared by every topic button: the page and anchor of its tag.
    void hlp_betrachterClick();
    void bt_helpexitClick();

  signals:
    void showRequested();
    void closeRequested();

  private:
    void onLink(const QString &link);

    AppContext &ctx_;
    QFrame *pn_helpmain_;
    HtmlBrowser *htmlhelp_ = nullptr;
    QString page_;
    View returnView_ = View::Pictures;
};

} // namespace vorn
