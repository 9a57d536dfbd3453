#include "viewers/documents/html_view.h"

#include "files/app_context.h"
#include "viewers/documents/html_guard.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/html_browser.h"
#include "widgets/panel_status_bar.h"
#include "widgets/tool_row.h"
#include "widgets/viewer_icons.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStorageInfo>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

void split_source(const QString &source, QString *file, QString *anchor)
{
    const qsizetype hash = source.indexOf(QLatin1Char('#'));
    *file = hash >= 0 ? source.left(hash) : source;
    *anchor = hash >= 0 ? source.mid(hash + 1) : QString();
}

bool is_page(const QString &file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    return suffix == QLatin1String("htm") || suffix == QLatin1String("html");
}

} // namespace

bool show_page_in(HtmlBrowser *browser, const QString &source, bool asSource, bool *refused)
{
    QString file, anchor;
    split_source(source, &file, &anchor);
    PageFile page;
    if (!QFileInfo(file).isFile() || !read_page_file(file, &page))
        return false;
    const bool ok = page.verdict == PageVerdict::Ok;
    if (refused)
        *refused = !ok && !asSource;
    if (asSource || !ok)
        browser->showText(source_for_showing(page.text));
    else
        browser->showHtml(page.text, anchor);
    return true;
}

bool open_on_desktop(const LinkDecision &d)
{
    switch (d.action) {
    case LinkAction::OpenUrl:
        QDesktopServices::openUrl(QUrl(d.target.trimmed()));
        return true;
    case LinkAction::OpenFile:
    case LinkAction::PlaySound: {
        QString file = d.target;
        const qsizetype hash = file.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            file.truncate(hash);
        if (QFileInfo(file).isFile())
            QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        return true;
    }
    case LinkAction::Renderer:
        break;
    }
    return false;
}

HtmlView::HtmlView(AppContext &ctx, QFrame *pn_htmlmain, int rowHeight, QObject *parent)
    : QObject(parent), ctx_(ctx), pn_htmlmain_(pn_htmlmain)
{
    buildToolBar(rowHeight);
    html1_ = new HtmlBrowser(QStringLiteral("html1"), pn_htmlmain_);
    stat_html_ = new PanelStatusBar(QStringLiteral("stat_html"), {280, 0}, pn_htmlmain_);
    stat_html_->setAutoFillBackground(true);
    auto *lay = static_cast<QVBoxLayout *>(pn_htmlmain_->layout());
    lay->addWidget(html1_, 1);
    lay->addWidget(stat_html_);

    connect(html1_, &HtmlBrowser::hotSpotClick, this, &HtmlView::html1HotSpotClick);
    connect(html1_, &HtmlBrowser::hotSpotCovered, this, &HtmlView::html1HotSpotCovered);
    connect(html1_, &HtmlBrowser::mouseReleased, this, &HtmlView::html1MouseUp);
    connect(html1_, &HtmlBrowser::entered, this, &HtmlView::html1Enter);
    connect(html1_, &HtmlBrowser::copyAvailable, this, &HtmlView::html1MouseUp);
    updateButtons();
}

QToolButton *HtmlView::addButton(const char *name, bool checkable)
{
    QToolButton *b = add_tool_button(fup_html_, name, viewer_tool_icon(name), checkable);
    b->setEnabled(false);
    return b;
}

void HtmlView::buildToolBar(int rowHeight)
{
    tbar_html_ =
        new CollapsibleToolBar(QStringLiteral("tbar_html"), QStringLiteral("lb_contexthtml"), pn_htmlmain_);
    fup_html_ = add_tool_row(tbar_html_, QStringLiteral("fup_html"), rowHeight);
    auto *lay = static_cast<QHBoxLayout *>(fup_html_->layout());

    bt_htmlback_ = addButton("bt_htmlback", false);
    bt_htmlnext_ = addButton("bt_htmlnext", false);
    cb_html_ = new QComboBox(fup_html_);
    cb_html_->setObjectName(QStringLiteral("cb_html"));
    cb_html_->setMaxVisibleItems(20);
    cb_html_->setFixedHeight(rowHeight - 2);
    cb_html_->setMinimumWidth(220);
    cb_html_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cb_html_->setStyleSheet(
        QStringLiteral("QComboBox, QComboBox QAbstractItemView { background: black; color: white; }"));
    lay->addWidget(cb_html_, 1);
    lay->addSpacing(6);
    bt_htmltext_ = addButton("bt_htmltext", true);
    bt_htmlcopytclip_ = addButton("bt_htmlcopytclip", false);
    bt_htmlclearlist_ = addButton("bt_htmlclearlist", false);

    connect(bt_htmlback_, &QToolButton::clicked, this, &HtmlView::bt_htmlbackClick);
    connect(bt_htmlnext_, &QToolButton::clicked, this, &HtmlView::bt_htmlbackClick);
    connect(bt_htmltext_, &QToolButton::clicked, this, &HtmlView::bt_htmltextClick);
    connect(bt_htmlcopytclip_, &QToolButton::clicked, this, &HtmlView::bt_htmlcopytclipClick);
    connect(bt_htmlclearlist_, &QToolButton::clicked, this, &HtmlView::bt_htmlclearlistClick);
    connect(cb_html_, &QComboBox::activated, this, &HtmlView::cb_htmlChange);
    pn_htmlmain_->layout()->addWidget(tbar_html_);
}

QToolButton *HtmlView::button(const char *name) const
{
    return pn_htmlmain_->findChild<QToolButton *>(QString::fromLatin1(name));
}

// ---------------------------------------------------------------------------------------------

bool HtmlView::loadPage(const QString &source, bool remember)
{
    bool refused = false;
    if (!show_page_in(html1_, source, bt_htmltext_->isChecked(), &refused))
        return false;
    QString anchor;
    split_source(source, &shown_, &anchor);
    if (remember)
        history_.visit(source, html1_->documentTitle());
    html1HistoryChange();
    if (refused)
        ctx_.prompter().info(ctx_.msg(Msg::PageAsSource));
    return true;
}

bool HtmlView::sourceShown() const
{
    return bt_htmltext_->isChecked();
}

void HtmlView::setSourceShown(bool on)
{
    bt_htmltext_->setChecked(on);
}

void HtmlView::showHtmlFile(const QString &path)
{
    // A missing file shows nothing and leaves the view as it was.
    path_ = path;
    if (!QFileInfo(path).isFile()) {
        updateButtons();
        return;
    }
    serverRoot_ = QFileInfo(path).absolutePath();
    loadPage(QFileInfo(path).absoluteFilePath(), true);
}

void HtmlView::html1HotSpotClick(const QString &link)
{
    LinkContext lc;
    lc.document = shown_;
    lc.serverRoot = serverRoot_;
    lc.driveRoot = QStorageInfo(shown_).rootPath();
    const LinkDecision d = decide_link(link, lc);
    if (d.action == LinkAction::PlaySound && soundPlayer_) {
        QString file = d.target.section(QLatin1Char('#'), 0, 0);
        if (QFileInfo(file).isFile())
            soundPlayer_(file);
    } else if (!open_on_desktop(d)) {
        // The renderer follows local links: pages are shown here, other files open with the
        // desktop's default application; links with any other scheme lead nowhere.
        if (d.local) {
            QString file, anchor;
            split_source(d.target, &file, &anchor);
            if (is_page(file) || file == shown_)
                loadPage(d.target, true);
            else if (QFileInfo(file).isFile())
                QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        }
    }
    updateButtons();
}

void HtmlView::html1HotSpotCovered(const QString &link)
{
    stat_html_->setPanelText(1, link);
}

void HtmlView::html1HistoryChange()
{
    stat_html_->setPanelText(0, html1_->documentTitle());
    updateButtons();
}

void HtmlView::html1MouseUp()
{
    bt_htmlcopytclip_->setEnabled(html1_->textCursor().hasSelection());
}

void HtmlView::html1Enter()
{
    updateButtons();
}

void HtmlView::updateButtons()
{
    bt_htmlclearlist_->setEnabled(!history_.isEmpty());
    // Next and back within the history.
    bt_htmlnext_->setEnabled(history_.index() >= 1);
    bt_htmlback_->setEnabled(history_.index() < history_.count() - 1);
    // The source of a page that is a file.
    bt_htmltext_->setEnabled(!path_.isEmpty() && QFileInfo(path_).isFile());
    bt_htmlcopytclip_->setEnabled(html1_->textCursor().hasSelection());
    // The history list, the page shown current.
    const QSignalBlocker block(cb_html_);
    cb_html_->clear();
    for (const HistoryEntry &e : history_.entries())
        cb_html_->addItem(QDir::toNativeSeparators(e.source));
    cb_html_->setCurrentIndex(history_.isEmpty() ? -1 : history_.index());
}

void HtmlView::setHistoryIndex(int index)
{
    if (!history_.setIndex(index))
        return;
    loadPage(history_.entry(index).source, false);
}

void HtmlView::bt_htmltextClick()
{
    if (QFileInfo(path_).isFile()) {
        html1_->setFocus(Qt::OtherFocusReason);
        loadPage(QFileInfo(path_).absoluteFilePath(), true);
    }
    updateButtons();
}

void HtmlView::cb_htmlChange(int index)
{
    setHistoryIndex(index);
    updateButtons();
}

void HtmlView::bt_htmlbackClick()
{
    const int step = sender() == bt_htmlnext_ ? -1 : 1;
    setHistoryIndex(history_.index() + step);
    if (!html1_->documentTitle().isEmpty())
        emit captionRequested(html1_->documentTitle());
    updateButtons();
}

void HtmlView::bt_htmlclearlistClick()
{
    history_.clear();
    cb_html_->clear();
    updateButtons();
}

void HtmlView::bt_htmlcopytclipClick()
{
    html1_->copy();
    updateButtons();
}

} // namespace vorn
