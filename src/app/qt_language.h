// The buttons and labels of Qt's own dialogs (message box buttons, file dialogs) in the
// program's language: Qt's German translation while German is chosen, Qt's English otherwise.
#pragma once

class QObject;

namespace vorn
{

class AppContext;

// Follows the context's language from now on; the translator is owned by `owner`.
void follow_language_in_qt_dialogs(AppContext &ctx, QObject *owner);

} // namespace vorn
