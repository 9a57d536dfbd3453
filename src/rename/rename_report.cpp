#include "rename/rename_report.h"

#include "files/app_context.h"
#include "files/file_helpers.h"
#include "lang/texts.h"

namespace vorn
{

namespace
{

constexpr int kListed = 25;

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

QString failure_text(const Texts &texts, const QString &title, const QList<RenameFailure> &failures)
{
    QString text = title + QStringLiteral("\r\n");
    for (int i = 0; i < failures.size() && i < kListed; ++i)
        text += QStringLiteral("\r\n") + shown_name(failures[i].name) + QStringLiteral(": ") +
                failure_reason(texts, failures[i].reason);
    if (failures.size() > kListed)
        text += QStringLiteral("\r\n") + texts.msg(Msg::MoreFiles).arg(failures.size() - kListed);
    return text;
}

void report_failures(AppContext &ctx, const QString &title, const QList<RenameFailure> &failures)
{
    if (!failures.isEmpty())
        ctx.prompter().message(failure_text(ctx.texts(), title, failures), Answer::Ok, PromptIcon::Warning);
}

} // namespace vorn
