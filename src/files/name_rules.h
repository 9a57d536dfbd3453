// The rules a file name typed or given by the user must satisfy, each refusal shown at once in
// an error box in the current language.
#pragma once

#include "files/file_kind.h"

#include <QChar>
#include <QString>

namespace vorn
{

class AppContext;
class Prompter;
class Texts;

// One typed character of the rename prefix field. Refuses the nine characters
// \ / : * ? " < > | with an error box that has a single Retry button.
bool check_name_char(QChar c, const Texts &texts, Prompter &prompter);
bool check_name_char(QChar c, AppContext &ctx);

// A complete new name for the file at oldPath (rename in place). Three tests, each with its own
// error box and an OK button: the extension (compared in capitals) must stay the same (when it
// changed, nothing else is tested); none of the eight characters \ / : ? " < > | (the star is
// allowed); at most one dot. Returns false when any test fails.
bool validate_new_name(const QString &newName, const QString &oldPath, const Texts &texts,
                       Prompter &prompter);
bool validate_new_name(const QString &newName, const QString &oldPath, AppContext &ctx);

} // namespace vorn
