#include "catalog/catalog_browser_widget.h"

#include "base/native_names.h"
#include "catalog/catalog_pages.h"
#include "codecs/picture_loader.h"

#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTextDocument>

namespace vorn
{

namespace
{

// The path a local link names as the file system's bytes: an escape that is not part of UTF-8
// stays the byte it stands for (a picture named in Latin-1 keeps its name).
QString local_path(const QUrl &url)
{
    return path_from_native(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
}

// Room left around a picture shown by itself: the document's and the paragraph's margins.
constexpr int kPictureMargin = 24;

} // namespace

CatalogBrowser::CatalogBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("htmlcatalog"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    // Each cell of a page takes its side plus ten pixels, as the page geometry counts them.
    document()->setDefaultStyleSheet(QStringLiteral("th { padding: 4px; }"));
    // Links are paths (absolute, or relative to the page): resolved as a browser would.
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        const QUrl url = resolved(link);
        if (pageState_ && url.isLocalFile())
            openPicture(local_path(url));
    });
    connect(this, qOverload<const QUrl &>(&QTextBrowser::highlighted), this, [this](const QUrl &link) {
        const QUrl url = resolved(link);
        emit linkHovered(link.isEmpty()      ? QString()
                         : url.isLocalFile() ? shown_name(local_path(url))
                                             : url.toString());
    });
}

void CatalogBrowser::showPage(const QString &path)
{
    page_ = path;
    picture_.clear();
    pageState_ = true;
    // A fresh document each time, its pictures read from disk: nothing of an earlier load stays.
    document()->clear();
    QFile file;
    if (path.isEmpty() || !open_native(file, path, QIODevice::ReadOnly)) {
        clear();
        return;
    }
    document()->setBaseUrl(QUrl::fromLocalFile(path));
    setHtml(QString::fromUtf8(file.readAll()));
}

void CatalogBrowser::clearView()
{
    showPage(QString());
}

void CatalogBrowser::openPicture(const QString &path)
{
    picture_ = path;
    pageState_ = false;
    // The picture by itself, at its size (a wide one scrolls).
    document()->clear();
    document()->setBaseUrl(QUrl());
    setHtml(
        QStringLiteral("<p align=\"center\"><img src=\"%1\"></p>")
            .arg(QStringLiteral("file://") + QString::fromLatin1(catalog_url_path(path)).toHtmlEscaped()));
    emit linkHovered(QString());
    emit pictureChanged(path);
}

void CatalogBrowser::backToPage()
{
    const QString page = page_;
    showPage(page);
    emit pictureChanged(QString());
}

QUrl CatalogBrowser::resolved(const QUrl &link) const
{
    return link.isRelative() && !page_.isEmpty() ? QUrl::fromLocalFile(page_).resolved(link) : link;
}

QVariant CatalogBrowser::loadResource(int type, const QUrl &name)
{
    if (type == QTextDocument::ImageResource && !pageState_ && name.isLocalFile() &&
        local_path(name) == picture_) {
        // Every picture kind of the program (JPEG upright by EXIF, WMF, ...), through its loader.
        const LoadedPicture p = load_picture(picture_);
        if (!p.ok)
            return {};
        // A picture larger than the view is fitted into it (never enlarged), so it is seen whole.
        const QSize room = viewport()->size() - QSize(kPictureMargin, kPictureMargin);
        if (room.isValid() && (p.image.width() > room.width() || p.image.height() > room.height()))
            return p.image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return p.image;
    }
    if (type == QTextDocument::ImageResource) {
        const QUrl url = resolved(name);
        QFile file;
        if (url.isLocalFile() && open_native(file, local_path(url), QIODevice::ReadOnly))
            return QImage::fromData(file.readAll());
    }
    return QTextBrowser::loadResource(type, name);
}

void CatalogBrowser::mouseReleaseEvent(QMouseEvent *event)
{
    // Only a click that lands on the picture shown by itself goes back; the click that opened
    // the picture (on a page) must not also close it.
    const bool onPicture = !pageState_;
    QTextBrowser::mouseReleaseEvent(event);
    if (onPicture && !pageState_ && event->button() == Qt::LeftButton)
        backToPage();
}

} // namespace vorn
