// The main window's place and the folder listed last, kept between runs in a file of their own
// in the program folder ("vorn.win"): vorn.cfg keeps its four lines. The file is read
// defensively (a damaged or hostile file gives the defaults) and written atomically.
#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace vorn
{

struct WindowState {
    QRect geometry; // the normal (not maximised) geometry; invalid when not known
    QString folder; // the folder listed last; empty when not known
};

// The file's lines: "geometry=x,y,width,height" and "folder=path".
QStringList window_state_lines(const WindowState &state);
// Parses the lines; a value that is missing, malformed or out of range is left empty.
WindowState parse_window_state(const QStringList &lines);
// Reads the file: a missing, unreadable, oversized or non-regular file gives the empty state.
WindowState load_window_state(const QString &path);
bool save_window_state(const QString &path, const WindowState &state, QString *error = nullptr);

// Where a saved geometry may go on the screens there are now (their available areas): it is
// made to fit the screen it overlaps most, no larger than that screen and wholly on it, and it
// is kept only when it overlaps a screen by a visible part at all. An invalid rect when not.
QRect fit_on_screens(const QRect &saved, const QList<QRect> &screens, const QSize &minimum);

} // namespace vorn
