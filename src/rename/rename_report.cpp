#include "rename/rename_report.h"

#include "files/app_context.h"
#include "files/file_helpers.h"
#include "lang/texts.h"

namespace vorn
{

namespace
{

// The list scrolls; beyond this many it ends with how many more there are.
constexpr int kListed = 1000;

} // namespace

QString failure_reason(const Texts &texts, int reason)
{
    switch (reason) {
    case RefusedTaken:
        return texts.msg(Msg::ReasonTaken);
    case RefusedRepeated:
        return texts.msg(Msg::ReasonRepeated);
    case RefusedChanged:
        return texts.msg(Msg::ReasonChanged);
    case RefusedBadName:
        return texts.msg(Msg::ReasonBadName);
    case RefusedLink:
        return texts.msg(Msg::ReasonLinkKept);
    default:
        return qt_error_string(reason);
    }
}

QStringList failure_lines(const Texts &texts, const QList<RenameFailure> &failures)
{
    QStringList lines;
    for (int i = 0; i < failures.size() && i < kListed; ++i)
        lines << shown_name(failures[i].name) + QStringLiteral(": ") +
                     failure_reason(texts, failures[i].reason);
    if (failures.size() > kListed)
        lines << texts.msg(Msg::MoreFiles).arg(failures.size() - kListed);
    return lines;
}

void report_failures(AppContext &ctx, const QString &title, const QList<RenameFailure> &failures)
{
    if (!failures.isEmpty())
        ctx.prompter().listMessage(title, failure_lines(ctx.texts(), failures), PromptIcon::Warning);
}

} // namespace vorn
