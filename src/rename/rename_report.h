// The one message a rename, undo, stamp or attribute run shows for the files it left alone.
#pragma once

#include "rename/rename_run.h"

namespace vorn
{

class AppContext;
class Texts;

// The reason in the current language: the system's text for an errno, ours for a refusal.
QString failure_reason(const Texts &texts, int reason);
// The title, then "name: reason" per file (the first 25, then how many more). Nothing is
// shown when the list is empty.
QString failure_text(const Texts &texts, const QString &title, const QList<RenameFailure> &failures);
void report_failures(AppContext &ctx, const QString &title, const QList<RenameFailure> &failures);

} // namespace vorn
