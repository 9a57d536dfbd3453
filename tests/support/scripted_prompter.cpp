#include "support/scripted_prompter.h"

#include "app/prompter_dialog.h"

namespace vorn
{

Answer ScriptedPrompter::message(const QString &text, Answers buttons, PromptIcon icon, const QString &)
{
    records_.append({Kind::Message, text, buttons, icon});
    if (onMessage_)
        onMessage_();
    if (!answers_.isEmpty())
        return answers_.dequeue();
    for (Answer a : {Answer::Yes, Answer::Ok, Answer::Retry})
        if (buttons.testFlag(a))
            return a;
    return Answer::None;
}

void ScriptedPrompter::listMessage(const QString &text, const QStringList &lines, PromptIcon icon,
                                   const QString &)
{
    records_.append(
        {Kind::List, text + QLatin1Char('\n') + lines.join(QLatin1Char('\n')), Answer::Ok, icon, lines});
}

QString ScriptedPrompter::nextText()
{
    return texts_.isEmpty() ? QString() : texts_.dequeue();
}

std::optional<QString> ScriptedPrompter::nextInput()
{
    const QString t = nextText();
    if (t.isEmpty())
        return std::nullopt;
    return t;
}

std::optional<QString> ScriptedPrompter::input(const QString &caption, const QString &label, const QString &)
{
    records_.append({Kind::Input, label.isEmpty() ? caption : label, {}, PromptIcon::None});
    return nextInput();
}

std::optional<QString> ScriptedPrompter::secret(const QString &caption, const QString &label)
{
    records_.append({Kind::Secret, label.isEmpty() ? caption : label, {}, PromptIcon::None});
    if (secretsOn_)
        return DialogPrompter(secretsOn_).secret(caption, label);
    return nextInput();
}

QString ScriptedPrompter::openFileName(const QString &caption, const QString &, const QString &)
{
    records_.append({Kind::OpenFile, caption, {}, PromptIcon::None});
    return nextText();
}

QString ScriptedPrompter::saveFileName(const QString &caption, const QString &, const QString &)
{
    records_.append({Kind::SaveFile, caption, {}, PromptIcon::None});
    return nextText();
}

QString ScriptedPrompter::folderName(const QString &caption, const QString &)
{
    records_.append({Kind::Folder, caption, {}, PromptIcon::None});
    return nextText();
}

std::optional<QString> ScriptedPrompter::textForm(const TextForm &form)
{
    records_.append({Kind::Form, form.name, {}, PromptIcon::None});
    if (showForms_ && form.ask)
        return form.ask();
    return nextInput();
}

QStringList ScriptedPrompter::messages() const
{
    QStringList out;
    for (const Record &r : records_)
        if (r.kind == Kind::Message || r.kind == Kind::List)
            out << r.text;
    return out;
}

} // namespace vorn
