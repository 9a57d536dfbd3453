// The HTML view inside pn_htmlmain: the tool bar tbar_html with the history (bt_htmlback,
// bt_htmlnext, cb_html), the source toggle bt_htmltext, bt_htmlcopytclip and
// bt_htmlclearlist; the renderer html1 and the status bar stat_html. Pages are read and checked
// here before the renderer sees them; links follow the rules of decide_link.
#pragma once

#include "files/file_viewer.h"
#include "viewers/documents/html_history.h"
#include "viewers/documents/html_links.h"

#include <QObject>
#include <functional>

class QComboBox;
class QFrame;
class QToolButton;
class QWidget;

namespace vorn
{

class AppContext;
class CollapsibleToolBar;
class HtmlBrowser;
class PanelStatusBar;

class HtmlView : public QObject, public FileViewer
{
    Q_OBJECT
  public:
    HtmlView(AppContext &ctx, QFrame *pn_htmlmain, int rowHeight, QObject *parent = nullptr);

    // FileViewer: Show HTML file.
    void showFile(const QString &path) override { showHtmlFile(path); }

    HtmlBrowser *browser() const { return html1_; }
    CollapsibleToolBar *toolBar() const { return tbar_html_; }
    QComboBox *historyBox() const { return cb_html_; }
    PanelStatusBar *statusBar() const { return stat_html_; }
    QToolButton *button(const char *name) const;
    const HtmlHistory &history() const { return history_; }
    QString currentFile() const { return path_; }
    // Whether pages are shown as their source text (the state of bt_htmltext); the next page
    // shown follows it.
    bool sourceShown() const;
    void setSourceShown(bool on);
    // Plays a linked sound; without one the desktop's default application opens it.
    void setSoundPlayer(std::function<void(const QString &)> player) { soundPlayer_ = std::move(player); }

  public slots:
    void showHtmlFile(const QString &path);
    void html1HotSpotClick(const QString &link);
    void html1HotSpotCovered(const QString &link);
    void html1HistoryChange();
    void html1MouseUp();
    void html1Enter();
    void bt_htmltextClick();
    void cb_htmlChange(int index);
    void bt_htmlbackClick();
    void bt_htmlclearlistClick();
    void bt_htmlcopytclipClick();
    void updateButtons();
    // Sets the history index and shows that entry.
    void setHistoryIndex(int index);

  signals:
    // The document title for the window's caption (back and forward).
    void captionRequested(const QString &title);

  private:
    void buildToolBar(int rowHeight);
    QToolButton *addButton(const char *name, bool checkable);
    // Shows a page ("path#anchor"); false when the file does not exist.
    bool loadPage(const QString &source, bool remember);

    AppContext &ctx_;
    QFrame *pn_htmlmain_;
    CollapsibleToolBar *tbar_html_ = nullptr;
    QWidget *fup_html_ = nullptr;
    QToolButton *bt_htmlback_ = nullptr;
    QToolButton *bt_htmlnext_ = nullptr;
    QComboBox *cb_html_ = nullptr;
    QToolButton *bt_htmltext_ = nullptr;
    QToolButton *bt_htmlcopytclip_ = nullptr;
    QToolButton *bt_htmlclearlist_ = nullptr;
    HtmlBrowser *html1_ = nullptr;
    PanelStatusBar *stat_html_ = nullptr;

    HtmlHistory history_;
    QString path_;  // the file last routed here
    QString shown_; // the file shown now (a followed link may differ from path_)
    QString serverRoot_;
    std::function<void(const QString &)> soundPlayer_;
};

// Shows a page file in a renderer: as source text when `asSource` or when the page is beyond
// the limits of check_page (then `refused` is set). False when the file cannot be read.
bool show_page_in(HtmlBrowser *browser, const QString &source, bool asSource, bool *refused = nullptr);
// Hands a link decided by decide_link to the desktop (web, mail, files to open); true when it
// was dealt with there.
bool open_on_desktop(const LinkDecision &decision);

} // namespace vorn
