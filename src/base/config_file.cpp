#include "base/config_file.h"

#include "base/text_file.h"

#include <QFileInfo>

namespace vorn
{

QStringList default_config_lines()
{
    return {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("normal")};
}

Config parse_config(const QStringList &lines)
{
    QStringList held = lines.mid(0, 4);
    const QStringList defaults = default_config_lines();
    while (held.size() < 4)
        held << defaults[held.size()];
    Config c;
    c.lines = held;
    bool ok = false;
    const int language = held[2].trimmed().toInt(&ok);
    c.language = ok ? language : 1;
    c.windowState = held[3];
    return c;
}

Config load_config(const QString &path)
{
    if (!QFileInfo::exists(path))
        write_text_lines(path, default_config_lines());
    QStringList lines;
    if (!read_text_lines(path, &lines))
        lines = default_config_lines();
    return parse_config(lines);
}

QStringList config_lines(int language, WindowShow state)
{
    QStringList lines{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")};
    lines[2] = QString::number(language);
    if (state == WindowShow::Maximized)
        lines[3] = QStringLiteral("maximized");
    else if (state == WindowShow::Normal)
        lines[3] = QStringLiteral("normal");
    return lines;
}

bool save_config(const QString &path, int language, WindowShow state, QString *error)
{
    return write_text_lines(path, config_lines(language, state), error);
}

bool save_language(const QString &path, Config &held, int language, QString *error)
{
    if (held.lines.size() < 4)
        held = parse_config(held.lines);
    held.lines[2] = QString::number(language);
    held.language = language;
    return write_text_lines(path, held.lines, error);
}

} // namespace vorn
