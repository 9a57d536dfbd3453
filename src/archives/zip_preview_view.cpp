#include "archives/zip_preview_view.h"

#include "files/active_list.h"
#include "files/app_context.h"
#include "viewers/documents/html_view.h"
#include "viewers/documents/text_view.h"
#include "viewers/pictures/picture_view.h"
#include "viewers/video/video_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/hex_widget.h"
#include "widgets/html_browser.h"
#include "widgets/image_widget.h"
#include "widgets/panel_status_bar.h"
#include "widgets/text_applier.h"
#include "widgets/theme.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vorn
{

// The list the preview's picture and video views see: the one file in the preview. Stepping
// finds no next entry; showing the entry again shows it in the preview.
class ZipPreviewList : public ActiveList
{
  public:
    explicit ZipPreviewList(std::function<void(const QString &)> reshow) : reshow_(std::move(reshow)) {}

    void setFile(const QString &path)
    {
        if (path == path_)
            return;
        path_ = path;
        emit changed();
    }

    int count() const override { return path_.isEmpty() ? 0 : 1; }
    QList<int> selectedRows() const override { return count() > 0 ? QList<int>{0} : QList<int>{}; }
    int currentRow() const override { return count() > 0 ? 0 : -1; }
    QString path(int row) const override { return row == 0 ? path_ : QString(); }
    bool hasFocusItem() const override { return count() > 0; }
    bool hasFocus() const override { return false; }
    bool isShown() const override { return false; }
    void takeFocus() override {}
    void select(int row, bool show) override
    {
        if (row == 0 && show)
            activate();
    }
    void activate() override
    {
        if (!path_.isEmpty())
            reshow_(path_);
    }
    void deselect() override {}
    void removeRows(const QList<int> &) override {}
    void refreshFromDisk() override {}
    void updateReadout() override {}

  private:
    std::function<void(const QString &)> reshow_;
    QString path_;
};

namespace
{

// Brings a view's page to the front without taking the keyboard focus from where it was (the
// entry grid keeps it, so that the sort buttons still take their entries from the archive).
template <typename Fn> void keepingFocus(QWidget *inWindow, Fn &&fn)
{
    const QPointer<QWidget> had = inWindow->window()->focusWidget();
    fn();
    if (had)
        had->setFocus(Qt::OtherFocusReason);
}

} // namespace

ZipPreviewView::ZipPreviewView(AppContext &ctx, QWidget *parent) : QFrame(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("pn_zipout"));
    setFrameShape(QFrame::StyledPanel);
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    lay->addWidget(stack_);
    blank_ = new QWidget(stack_);
    stack_->addWidget(blank_);
    list_ = std::make_unique<ZipPreviewList>([this](const QString &path) {
        if (picture_ && stack_->currentWidget() == picturePage_)
            picture_->showPicture(path);
    });
}

ZipPreviewView::~ZipPreviewView()
{
    // The views hold the list; they go before it.
    delete video_;
    delete picture_;
    delete html_;
    delete text_;
}

QFrame *ZipPreviewView::addPage(const char *name)
{
    auto *page = new QFrame(stack_);
    page->setObjectName(QString::fromLatin1(name));
    auto *lay = new QVBoxLayout(page);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    stack_->addWidget(page);
    return page;
}

void ZipPreviewView::ensureText()
{
    if (text_)
        return;
    textPage_ = addPage("pn_zippreviewtext");
    text_ = new TextView(ctx_, textPage_, kButtonRowHeight, this);
    text_->toolBar()->hide();
    text_->statusBar()->hide();
    text_->editor1()->setObjectName(QStringLiteral("zipmemo"));
    text_->hexView()->setObjectName(QStringLiteral("ziphex"));
    connect(text_->editor1(), &QPlainTextEdit::selectionChanged, this, &ZipPreviewView::copyStateChanged);
    apply_control_texts(textPage_, ctx_.texts());
}

void ZipPreviewView::ensureHtml()
{
    if (html_)
        return;
    htmlPage_ = addPage("pn_zippreviewhtml");
    html_ = new HtmlView(ctx_, htmlPage_, kButtonRowHeight, this);
    html_->toolBar()->hide();
    html_->statusBar()->hide();
    html_->browser()->setObjectName(QStringLiteral("ziphtml"));
    connect(html_->browser(), &QTextEdit::selectionChanged, this, &ZipPreviewView::copyStateChanged);
    apply_control_texts(htmlPage_, ctx_.texts());
}

void ZipPreviewView::ensurePicture()
{
    if (picture_)
        return;
    picturePage_ = addPage("pn_zippreviewpicture");
    picture_ = new PictureView(ctx_, *list_, picturePage_, kButtonRowHeight, this);
    picture_->toolBar()->hide();
    picture_->statusBar()->hide();
    picture_->stillImage()->setObjectName(QStringLiteral("zipimage"));
    picture_->animatedImage()->setObjectName(QStringLiteral("zipgif"));
    picture_->setViewStyle(ViewStyle::Normal); // top left, at its own size
    apply_control_texts(picturePage_, ctx_.texts());
}

void ZipPreviewView::ensureVideo()
{
    if (video_)
        return;
    pn_zipmovie_ = addPage("pn_zipmovie");
    video_ = new VideoView(ctx_, *list_, pn_zipmovie_, kButtonRowHeight, this);
    video_->statusBar()->hide();
    video_->engine().setObjectName(QStringLiteral("mp_zip"));
    // The preview plays as soon as the file is open; the video view has set itself up by then
    // (it is connected first). Its transport stays usable in the tool bar.
    connect(&video_->engine(), &MediaEngine::opened, this, [this](bool ok, const QString &) {
        if (!playWhenOpen_)
            return;
        playWhenOpen_ = false;
        if (ok && video_->engine().deviceId() > 0)
            keepingFocus(this, [this] { video_->transport(VideoView::Play); });
    });
    apply_control_texts(pn_zipmovie_, ctx_.texts());
}

void ZipPreviewView::bringUp(QFrame *page)
{
    stack_->setCurrentWidget(page);
}

QWidget *ZipPreviewView::currentPage() const
{
    return stack_->currentWidget();
}

void ZipPreviewView::clear()
{
    playWhenOpen_ = false;
    if (video_)
        video_->releaseFile();
    if (picture_)
        picture_->releaseFile();
    if (text_) {
        text_->editor1()->clear();
        text_->editor1()->document()->setModified(false);
        text_->hexView()->clear();
    }
    if (html_)
        html_->browser()->clear();
    list_->setFile(QString());
    hexShown_ = false;
    stack_->setCurrentWidget(blank_);
    emit copyStateChanged();
}

bool ZipPreviewView::show(const QString &path, ZipPreviewKind kind, bool htmlSource)
{
    clear();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    switch (kind) {
    case ZipPreviewKind::Text:
    case ZipPreviewKind::Hex:
    case ZipPreviewKind::Zip: {
        ensureText();
        text_->showTextFile(path);
        if (text_->currentFile() != path || !text_->editor1()->isEnabled())
            return false;
        text_->editor1()->setReadOnly(true); // a copy in zip_dir: nothing to edit or save
        text_->hexView()->setBytesPerLine(24);
        hexShown_ = kind != ZipPreviewKind::Text;
        bringUp(textPage_);
        keepingFocus(this, [this] { hexShown_ ? text_->bt_texthexClick() : text_->bt_textnormClick(); });
        break;
    }
    case ZipPreviewKind::Html:
        ensureHtml();
        html_->setSourceShown(htmlSource);
        html_->showHtmlFile(path);
        bringUp(htmlPage_);
        break;
    case ZipPreviewKind::Picture:
    case ZipPreviewKind::Animation:
        ensurePicture();
        list_->setFile(path);
        bringUp(picturePage_);
        picture_->showPicture(path, ViewStyle::Normal);
        break;
    case ZipPreviewKind::Video:
        ensureVideo();
        list_->setFile(path);
        bringUp(pn_zipmovie_);
        video_->showFile(path);
        playWhenOpen_ = true;
        video_->bt_loadmovieClick();
        break;
    }
    emit copyStateChanged();
    return true;
}

bool ZipPreviewView::canCopy() const
{
    QWidget *page = stack_->currentWidget();
    if (text_ && page == textPage_ && !hexShown_)
        return !text_->editor1()->document()->isEmpty();
    if (html_ && page == htmlPage_)
        return html_->browser()->textCursor().hasSelection();
    return false;
}

void ZipPreviewView::copySelection()
{
    QWidget *page = stack_->currentWidget();
    if (html_ && page == htmlPage_) {
        html_->browser()->copy();
        return;
    }
    if (!text_ || page != textPage_ || hexShown_)
        return;
    QPlainTextEdit *memo = text_->editor1();
    if (memo->textCursor().hasSelection())
        memo->copy();
    else
        QApplication::clipboard()->setText(memo->toPlainText());
}

} // namespace vorn
