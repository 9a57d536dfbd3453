#include "lang/start_texts.h"

namespace vorn
{

QString command_line_help()
{
    return QStringLiteral(
        "Usage: vorn [OPTION]... [PATH]...\n"
        "Browse, view, sort, rename and catalog pictures, videos, web pages and ZIP archives.\n"
        "\n"
        "A folder given as PATH is opened in the folder tree and listed; a file opens its\n"
        "folder with the file selected and shown in its view; several files are selected.\n"
        "When the program is already running, the paths are handed to it.\n"
        "\n"
        "Options:\n"
        "  --home DIR     keep the program's files in DIR (also VORN_HOME)\n"
        "  -h, --help     print this help and exit\n"
        "  -v, --version  print the version and exit\n");
}

QString command_line_version()
{
    return QStringLiteral("vorn 2.0\n");
}

QString paths_not_found_text(int language)
{
    return language == 0 ? QStringLiteral("Diese Pfade wurden nicht gefunden:")
                         : QStringLiteral("These paths were not found:");
}

QString unknown_option_text(const QString &option)
{
    return QStringLiteral("vorn: unknown option %1\nTry 'vorn --help'.\n").arg(option);
}

} // namespace vorn
