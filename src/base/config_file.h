// "vorn.cfg": four lines read and written by position: two reserved, the language index and
// the main window state.
#pragma once

#include <QString>
#include <QStringList>

namespace vorn
{

enum class WindowShow { Normal, Maximized, Minimized };

struct Config {
    int language = 1;                               // line 3
    QString windowState = QStringLiteral("normal"); // line 4 as read
    QStringList lines;                              // the four lines held since start-up

    bool opensMaximized() const { return windowState == QLatin1String("maximized"); }
};

QStringList default_config_lines();
// Reads the lines of a configuration file. A language line that is not a whole number
// reads as 1 (English); missing lines read as their defaults.
Config parse_config(const QStringList &lines);
// Reads "vorn.cfg", writing the default file first when it is missing.
Config load_config(const QString &path);
QStringList config_lines(int language, WindowShow state);
bool save_config(const QString &path, int language, WindowShow state, QString *error = nullptr);
// A language choice: line 3 of the held lines becomes the index and all four are written.
bool save_language(const QString &path, Config &held, int language, QString *error = nullptr);

} // namespace vorn
