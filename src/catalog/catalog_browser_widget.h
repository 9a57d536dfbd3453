// htmlcatalog: the catalog view, an HTML view of the catalog pages with their thumbnails.
// A thumbnail's link shows its picture by itself; a click on that picture returns to the page.
// Every page is read anew from disk (no image cache), so regenerated thumbnails with reused
// names show their new content.
#pragma once

#include <QTextBrowser>

namespace vorn
{

class CatalogBrowser : public QTextBrowser
{
    Q_OBJECT
  public:
    explicit CatalogBrowser(QWidget *parent = nullptr);

    // Shows a page file; empty clears the view.
    void showPage(const QString &path);
    QString pagePath() const { return page_; }
    // True while a page is shown, false while a clicked picture is shown by itself.
    bool pageState() const { return pageState_; }
    void clearView();

    // The click on a thumbnail's link: shows that picture by itself.
    void openPicture(const QString &path);
    // The click on the picture shown by itself: the page again.
    void backToPage();

  signals:
    // The pointer moved onto a link (its picture's path) or off it (empty).
    void linkHovered(const QString &path);
    // A thumbnail was clicked (path) or the page came back (empty).
    void pictureChanged(const QString &path);

  protected:
    QVariant loadResource(int type, const QUrl &name) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

  private:
    QUrl resolved(const QUrl &link) const;

    QString page_;
    QString picture_;
    bool pageState_ = true;
};

} // namespace vorn
