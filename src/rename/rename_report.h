// The one message a rename, undo, stamp or attribute run shows for the files it left alone.
#pragma once

#include "rename/rename_run.h"

namespace vorn
{

class AppContext;
class Texts;

// The reason in the current language: the system's text for an errno, ours for a refusal.
QString failure_reason(const Texts &texts, int reason);
// "name: reason" per file (the first thousand, then how many more).
QStringList failure_lines(const Texts &texts, const QList<RenameFailure> &failures);
// The title with the list under it; nothing is shown when the list is empty.
void report_failures(AppContext &ctx, const QString &title, const QList<RenameFailure> &failures);

} // namespace vorn
