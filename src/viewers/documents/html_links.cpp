#include "viewers/documents/html_links.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace vorn
{

namespace
{

QString with_slash(QString dir)
{
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

} // namespace

QString expand_link_name(const QString &name, const LinkContext &context)
{
    QString path = name.trimmed();
    QString fragment;
    const qsizetype hash = path.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        fragment = path.mid(hash);
        path.truncate(hash);
    }
    bool absolute = false;
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        // file:///abs/name, file://host/abs/name or file:name; escapes are decoded.
        path = QUrl::fromPercentEncoding(path.mid(5).toUtf8());
        if (path.startsWith(QLatin1String("//"))) {
            const qsizetype slash = path.indexOf(QLatin1Char('/'), 2);
            path = slash >= 0 ? path.mid(slash) : QString();
            absolute = true;
        }
    }
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.size() >= 2 && path[1] == QLatin1Char(':') && path[0].isLetter()) {
        // A drive letter names the drive of the shown page: its mount point.
        path = path.mid(2);
        const QString root = context.driveRoot.isEmpty() ? QStringLiteral("/") : context.driveRoot;
        path = with_slash(root) + (path.startsWith(QLatin1Char('/')) ? path.mid(1) : path);
        absolute = true;
    }
    if (path.isEmpty()) {
        path = context.document; // "#anchor": the shown page itself
    } else if (!absolute && path.startsWith(QLatin1Char('/'))) {
        if (!context.serverRoot.isEmpty())
            path = with_slash(context.serverRoot) + path.mid(1);
    } else if (!absolute) {
        path = with_slash(QFileInfo(context.document).path()) + path;
    }
    return QDir::cleanPath(path) + fragment;
}

LinkDecision decide_link(const QString &link, const LinkContext &context)
{
    LinkDecision d;
    // Positions counted from 1, 0 when missing.
    const qsizetype c = link.indexOf(QLatin1Char(':')) + 1;
    const qsizetype f = link.indexOf(QLatin1String("file:"), 0, Qt::CaseInsensitive) + 1;
    d.local = c < 3 || f >= 1;
    if (d.local) {
        const QString l = link.left(kMaxLinkLength);
        qsizetype cut = l.indexOf(QLatin1Char(' '));
        if (cut < 0)
            cut = l.indexOf(QLatin1Char('?'));
        d.name = cut >= 0 ? l.left(cut) : l;
        d.params = cut >= 0 ? l.mid(cut + 1) : QString();
        d.target = expand_link_name(d.name, context);
        QString file = d.target;
        const qsizetype hash = file.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            file.truncate(hash);
        const QString suffix = QFileInfo(file).suffix().toLower();
        if (suffix == QLatin1String("wav"))
            d.action = LinkAction::PlaySound;
        else if (suffix == QLatin1String("exe") || suffix == QLatin1String("mid") ||
                 suffix == QLatin1String("avi"))
            d.action = LinkAction::OpenFile; // never run: the desktop decides what opens it
        return d;
    }
    // Only real web and mail addresses go to the desktop: the link parsed as a URL with the
    // scheme http or https and a host, or mailto with an address. "http:" inside a script
    // link or another scheme's text is not one.
    const QUrl url(link.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    const bool web =
        (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
    const bool mail = scheme == QLatin1String("mailto") && !url.path().isEmpty();
    if (url.isValid() && (web || mail)) {
        d.action = LinkAction::OpenUrl;
        d.target = link;
    }
    return d;
}

} // namespace vorn
