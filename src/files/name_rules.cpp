#include "files/name_rules.h"

#include "base/prompter.h"
#include "files/app_context.h"
#include "lang/texts.h"

namespace vorn
{

namespace
{

const QString kCrLf2 = QStringLiteral("\r\n\r\n");

// The order in which the characters are listed in the messages.
const QString kTypedForbidden = QStringLiteral("\\/:?\"<>|*");
const QString kNameForbidden = QStringLiteral("\\/:?\"<>|");

// Each character followed by a blank, then `extraBlanks` more blanks.
QString char_list(const QString &chars, int extraBlanks)
{
    QString out;
    for (QChar c : chars) {
        out += c;
        out += QLatin1Char(' ');
    }
    return out + QString(extraBlanks, QLatin1Char(' '));
}

QString invalid_char_text(QChar c, const QString &list, const Texts &texts)
{
    return texts.msg(Msg::InvalidKey) + c + QStringLiteral(" !") + kCrLf2 + texts.msg(Msg::KeysNotAllowed) +
           kCrLf2 + list + texts.msg(Msg::InFilenames);
}

} // namespace

bool check_name_char(QChar c, const Texts &texts, Prompter &prompter)
{
    if (!kTypedForbidden.contains(c))
        return true;
    prompter.message(invalid_char_text(c, char_list(kTypedForbidden, 1), texts), Answer::Retry,
                     PromptIcon::Error);
    return false;
}

bool check_name_char(QChar c, AppContext &ctx)
{
    return check_name_char(c, ctx.texts(), ctx.prompter());
}

bool validate_new_name(const QString &newName, const QString &oldPath, const Texts &texts, Prompter &prompter)
{
    if (file_extension(newName).toUpper() != file_extension(oldPath).toUpper()) {
        prompter.message(texts.msg(Msg::ExtChange1) + kCrLf2 + texts.msg(Msg::ExtChange2), Answer::Ok,
                         PromptIcon::Error);
        return false;
    }

    bool ok = true;
    for (QChar c : kNameForbidden) {
        if (newName.contains(c)) {
            prompter.message(invalid_char_text(c, char_list(kNameForbidden, 2), texts), Answer::Ok,
                             PromptIcon::Error);
            ok = false;
            break;
        }
    }

    if (newName.count(QLatin1Char('.')) >= 2) {
        prompter.message(texts.msg(Msg::OneDotOnly), Answer::Ok, PromptIcon::Error);
        ok = false;
    }
    return ok;
}

bool validate_new_name(const QString &newName, const QString &oldPath, AppContext &ctx)
{
    return validate_new_name(newName, oldPath, ctx.texts(), ctx.prompter());
}

} // namespace vorn
