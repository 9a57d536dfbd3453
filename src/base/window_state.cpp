#include "base/window_state.h"

#include "base/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace vorn
{

namespace
{

// A state file is a few dozen bytes; anything much larger is not ours.
constexpr qint64 kMaxFileSize = 64 * 1024;
// Coordinates beyond this are no screen's.
constexpr int kMaxCoordinate = 100000;
constexpr int kMinVisible = 48; // pixels of the window that must be on a screen

const QLatin1String kGeometryKey("geometry=");
const QLatin1String kFolderKey("folder=");

bool parse_int(QStringView s, int *out)
{
    bool ok = false;
    const int v = s.trimmed().toInt(&ok);
    if (!ok || v < -kMaxCoordinate || v > kMaxCoordinate)
        return false;
    *out = v;
    return true;
}

QRect parse_geometry(QStringView value)
{
    const QList<QStringView> parts = value.split(QLatin1Char(','));
    if (parts.size() != 4)
        return {};
    int v[4];
    for (int i = 0; i < 4; ++i)
        if (!parse_int(parts[i], &v[i]))
            return {};
    if (v[2] <= 0 || v[3] <= 0)
        return {};
    return QRect(v[0], v[1], v[2], v[3]);
}

} // namespace

QStringList window_state_lines(const WindowState &state)
{
    QStringList lines;
    if (state.geometry.isValid()) {
        const QRect &g = state.geometry;
        lines << kGeometryKey +
                     QStringLiteral("%1,%2,%3,%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
    }
    if (!state.folder.isEmpty())
        lines << kFolderKey + state.folder;
    return lines;
}

WindowState parse_window_state(const QStringList &lines)
{
    WindowState state;
    for (const QString &line : lines) {
        if (line.startsWith(kGeometryKey))
            state.geometry = parse_geometry(QStringView(line).mid(kGeometryKey.size()));
        else if (line.startsWith(kFolderKey)) {
            const QString folder = line.mid(kFolderKey.size());
            // Only an absolute path without control characters names a folder of ours.
            const bool control =
                std::any_of(folder.cbegin(), folder.cend(), [](QChar c) { return c.unicode() < 0x20; });
            state.folder = folder.startsWith(QLatin1Char('/')) && !control ? folder : QString();
        }
    }
    return state;
}

WindowState load_window_state(const QString &path)
{
    // A FIFO or device would block or never end: only a small regular file is read.
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileSize)
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.read(kMaxFileSize + 1);
    if (bytes.size() > kMaxFileSize || bytes.contains('\0'))
        return {};
    return parse_window_state(decode_lines(bytes));
}

bool save_window_state(const QString &path, const WindowState &state, QString *error)
{
    return write_text_lines(path, window_state_lines(state), error);
}

QRect fit_on_screens(const QRect &saved, const QList<QRect> &screens, const QSize &minimum)
{
    if (!saved.isValid())
        return {};
    const QRect *best = nullptr;
    qint64 bestArea = 0;
    for (const QRect &s : screens) {
        const QRect overlap = s.intersected(saved);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (overlap.width() >= std::min(kMinVisible, saved.width()) &&
            overlap.height() >= std::min(kMinVisible, saved.height()) && area > bestArea) {
            best = &s;
            bestArea = area;
        }
    }
    if (!best)
        return {};
    QRect r = saved;
    r.setWidth(std::clamp(r.width(), std::min(minimum.width(), best->width()), best->width()));
    r.setHeight(std::clamp(r.height(), std::min(minimum.height(), best->height()), best->height()));
    // Wholly on that screen.
    r.moveLeft(std::clamp(r.left(), best->left(), best->right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), best->top(), best->bottom() - r.height() + 1));
    return r;
}

} // namespace vorn
