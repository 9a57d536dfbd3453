// Texts of the command line: --help, --version and the message about paths that cannot be
// opened. Kept apart from the message table so the start-up path needs no window.
#pragma once

#include <QString>

namespace vorn
{

// The usage text of --help (English: it is printed before a language is known).
QString command_line_help();
// The line printed by --version.
QString command_line_version();
// "These paths were not found:" in the given language (0 German, 1 English).
QString paths_not_found_text(int language);
// An unknown option on the command line.
QString unknown_option_text(const QString &option);

} // namespace vorn
