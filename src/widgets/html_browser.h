// The HTML renderer of the HTML and help views: a QTextBrowser that shows no images, fetches
// nothing (the view loads every page itself) and reports links as they are written in the page.
#pragma once

#include <QTextBrowser>

namespace vorn
{

class HtmlBrowser : public QTextBrowser
{
    Q_OBJECT
  public:
    explicit HtmlBrowser(const QString &name, QWidget *parent = nullptr);

    // Shows markup, then scrolls to `anchor` (without "#") when given.
    void showHtml(const QString &html, const QString &anchor = {});
    void showText(const QString &text);
    QString documentTitle() const;
    // Whether the shown document has an anchor of this name.
    bool hasAnchor(const QString &anchor) const;
    QString anchorUnderMouse() const { return hover_; }
    // Shows the pictures of pages that lie inside `folder` (the help pages); others stay
    // blank. An empty folder shows none.
    void setPictureFolder(const QString &folder) { pictureFolder_ = folder; }
    // The folder the shown page's relative names start from.
    void setBaseFolder(const QString &folder) { baseFolder_ = folder; }

  signals:
    // A link was activated (mouse or keyboard); `link` is the text of its href as written.
    void hotSpotClick(const QString &link);
    // The mouse moved onto a link (its href) or off it (empty).
    void hotSpotCovered(const QString &link);
    void mouseReleased();
    void entered();

  protected:
    QVariant loadResource(int type, const QUrl &name) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void leaveEvent(QEvent *event) override;

  private:
    void onAnchorClicked(const QUrl &url);

    QString pressed_; // href under the mouse at the press
    QString hover_;
    QString pictureFolder_;
    QString baseFolder_;
};

} // namespace vorn
