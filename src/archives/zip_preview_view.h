// The preview area pn_zipout under the archive window. It shows an extracted entry in the
// program's own views, each made once, on first use, inside a page of this area: the text and
// hex view (zipmemo, ziphex), the HTML view (ziphtml, images off, rendered or as source), the
// picture view (zipimage, zipgif: top left, natural size) and the video view in pn_zipmovie
// (the player mp_zip; playback starts once the file is open). Their own tool bars and status
// bars stay hidden except the video's transport; the ZIP tool bar drives the rest.
#pragma once

#include "archives/zip_browser.h"

#include <QFrame>
#include <memory>

class QStackedWidget;

namespace vorn
{

class AppContext;
class HtmlView;
class PictureView;
class TextView;
class VideoView;
class ZipPreviewList;

class ZipPreviewView : public QFrame
{
    Q_OBJECT
  public:
    explicit ZipPreviewView(AppContext &ctx, QWidget *parent = nullptr);
    ~ZipPreviewView() override;

    // Stops and closes the video, hides every viewer and empties the text and HTML viewers.
    void clear();
    // Shows the file in the viewer of its kind; false when the file is not there or cannot be
    // read (the picture and video views report their own decoding failures).
    bool show(const QString &path, ZipPreviewKind kind, bool htmlSource);
    // The text preview holds text, or the HTML preview has a selection.
    bool canCopy() const;
    // Copies the selection of whichever text viewer has the focus (else the shown one); without
    // a selection in the text preview, its whole text.
    void copySelection();

    // The views, null until first used.
    TextView *textView() const { return text_; }
    HtmlView *htmlView() const { return html_; }
    PictureView *pictureView() const { return picture_; }
    VideoView *videoView() const { return video_; }
    // The page in front (one of the views' pages, or the blank page).
    QWidget *currentPage() const;

  signals:
    void copyStateChanged();

  private:
    QFrame *addPage(const char *name);
    void bringUp(QFrame *page);
    void ensureText();
    void ensureHtml();
    void ensurePicture();
    void ensureVideo();

    AppContext &ctx_;
    QStackedWidget *stack_ = nullptr;
    QWidget *blank_ = nullptr;
    QFrame *textPage_ = nullptr;
    QFrame *htmlPage_ = nullptr;
    QFrame *picturePage_ = nullptr;
    QFrame *pn_zipmovie_ = nullptr;
    TextView *text_ = nullptr;
    HtmlView *html_ = nullptr;
    PictureView *picture_ = nullptr;
    VideoView *video_ = nullptr;
    // The list the picture and video views see: the one previewed file.
    std::unique_ptr<ZipPreviewList> list_;
    bool hexShown_ = false;
    bool playWhenOpen_ = false;
};

} // namespace vorn
