#include "widgets/html_browser.h"

#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

namespace vorn
{

HtmlBrowser::HtmlBrowser(const QString &name, QWidget *parent) : QTextBrowser(parent)
{
    setObjectName(name);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    // White ground, black text, whatever the desktop's theme.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    // The serif font for body text, the fixed font for preformatted text.
    QFont serif = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    serif.setFamilies({QStringLiteral("serif")});
    serif.setStyleHint(QFont::Serif);
    serif.setPointSize(11);
    document()->setDefaultFont(serif);
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    document()->setDefaultStyleSheet(
        QStringLiteral("pre, tt, code, kbd, samp { font-family: \"%1\"; }").arg(fixed));
    connect(this, &QTextBrowser::anchorClicked, this, &HtmlBrowser::onAnchorClicked);
}

QVariant HtmlBrowser::loadResource(int type, const QUrl &name)
{
    // Pictures are not shown (an empty one keeps the layout), except those of a page inside the
    // picture folder. Nothing else is fetched.
    if (type == QTextDocument::ImageResource) {
        if (!pictureFolder_.isEmpty() && (name.scheme().isEmpty() || name.isLocalFile())) {
            const QString root = QDir::cleanPath(pictureFolder_) + QLatin1Char('/');
            const QString path = QDir::cleanPath(
                name.isLocalFile() ? name.toLocalFile() : QDir(baseFolder_).filePath(name.path()));
            QImage image;
            if (path.startsWith(root) && image.load(path))
                return image;
        }
        QImage blank(1, 1, QImage::Format_ARGB32);
        blank.fill(Qt::transparent);
        return blank;
    }
    return {};
}

void HtmlBrowser::showHtml(const QString &html, const QString &anchor)
{
    setHtml(html);
    if (!anchor.isEmpty())
        scrollToAnchor(anchor);
}

void HtmlBrowser::showText(const QString &text)
{
    setPlainText(text);
}

QString HtmlBrowser::documentTitle() const
{
    return document()->metaInformation(QTextDocument::DocumentTitle);
}

bool HtmlBrowser::hasAnchor(const QString &anchor) const
{
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().anchorNames().contains(anchor))
                return true;
    return false;
}

void HtmlBrowser::mousePressEvent(QMouseEvent *event)
{
    pressed_ = anchorAt(event->position().toPoint());
    QTextBrowser::mousePressEvent(event);
}

void HtmlBrowser::mouseMoveEvent(QMouseEvent *event)
{
    QTextBrowser::mouseMoveEvent(event);
    const QString h = anchorAt(event->position().toPoint());
    if (h != hover_) {
        hover_ = h;
        emit hotSpotCovered(h);
    }
}

void HtmlBrowser::leaveEvent(QEvent *event)
{
    QTextBrowser::leaveEvent(event);
    if (!hover_.isEmpty()) {
        hover_.clear();
        emit hotSpotCovered(QString());
    }
}

void HtmlBrowser::mouseReleaseEvent(QMouseEvent *event)
{
    QTextBrowser::mouseReleaseEvent(event);
    pressed_.clear();
    emit mouseReleased();
}

void HtmlBrowser::focusInEvent(QFocusEvent *event)
{
    QTextBrowser::focusInEvent(event);
    emit entered();
}

void HtmlBrowser::onAnchorClicked(const QUrl &url)
{
    // The href as written: QUrl would take a drive letter for a scheme.
    QString link = pressed_;
    if (link.isEmpty())
        link = textCursor().charFormat().anchorHref();
    if (link.isEmpty())
        link = url.toString();
    emit hotSpotClick(link);
}

} // namespace vorn
