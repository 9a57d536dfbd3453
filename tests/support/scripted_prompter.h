// A Prompter that answers from a script and records every prompt: used by the tests.
#pragma once

#include "base/prompter.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

class QWidget;

namespace vorn
{

class ScriptedPrompter : public Prompter
{
  public:
    enum class Kind { Message, List, Input, OpenFile, SaveFile, Folder, Form, Secret };
    struct Record {
        Kind kind;
        QString text;    // message text, the label / caption of a dialog, or a form's name
        Answers buttons; // for messages
        PromptIcon icon = PromptIcon::None;
        QStringList lines; // the list of a list message
    };

    // Answers for message boxes, taken in order; when none is left the first offered of
    // Yes, Ok, Retry is given.
    void pushAnswer(Answer a) { answers_.enqueue(a); }
    // Answers for input boxes, file dialogs and forms, in order; an empty string means cancel.
    void pushText(const QString &t) { texts_.enqueue(t); }
    // With this on, forms are shown for real (the test drives them through queued calls)
    // instead of being answered from the script.
    void setShowForms(bool on) { showForms_ = on; }
    // With a window, password questions are shown for real by the program's own dialogs on
    // it (the test drives them through queued calls); without, they are answered like inputs.
    void setShowSecrets(QWidget *window) { secretsOn_ = window; }
    // Called at each message box before it is answered: a test acts while a run waits on it.
    void setOnMessage(std::function<void()> fn) { onMessage_ = std::move(fn); }

    Answer message(const QString &text, Answers buttons, PromptIcon icon,
                   const QString &caption = {}) override;
    // Recorded as a message (its text and lines joined by line breaks) of kind List.
    void listMessage(const QString &text, const QStringList &lines, PromptIcon icon,
                     const QString &caption = {}) override;
    std::optional<QString> input(const QString &caption, const QString &label,
                                 const QString &initial = {}) override;
    std::optional<QString> secret(const QString &caption, const QString &label) override;
    QString openFileName(const QString &caption, const QString &startDir, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &startDir, const QString &filter) override;
    QString folderName(const QString &caption, const QString &startDir) override;
    // Unless forms are shown, the next scripted text is the form's answer.
    std::optional<QString> textForm(const TextForm &form) override;

    const QList<Record> &records() const { return records_; }
    // The texts of the messages and list messages, in order.
    QStringList messages() const;
    QString lastMessage() const { return messages().value(messages().size() - 1); }
    void clear()
    {
        records_.clear();
        answers_.clear();
        texts_.clear();
    }

  private:
    QString nextText();
    // The next scripted text; nullopt for an empty one (cancel).
    std::optional<QString> nextInput();

    QQueue<Answer> answers_;
    QQueue<QString> texts_;
    QList<Record> records_;
    bool showForms_ = false;
    QWidget *secretsOn_ = nullptr;
    std::function<void()> onMessage_;
};

} // namespace vorn
