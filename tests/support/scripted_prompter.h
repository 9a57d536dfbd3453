// A Prompter that answers from a script and records every prompt: used by the tests.
#pragma once

#include "base/prompter.h"

#include <QList>
#include <QQueue>
#include <QStringList>

namespace vorn
{

class ScriptedPrompter : public Prompter
{
  public:
    enum class Kind { Message, Input, OpenFile, SaveFile, Folder };
    struct Record {
        Kind kind;
        QString text;    // message text, or the label / caption of a dialog
        Answers buttons; // for messages
        PromptIcon icon = PromptIcon::None;
    };

    // Answers for message boxes, taken in order; when none is left the first offered of
    // Yes, Ok, Retry is given.
    void pushAnswer(Answer a) { answers_.enqueue(a); }
    // Answers for input boxes and file dialogs, in order; an empty string means cancel.
    void pushText(const QString &t) { texts_.enqueue(t); }

    Answer message(const QString &text, Answers buttons, PromptIcon icon,
                   const QString &caption = {}) override;
    std::optional<QString> input(const QString &caption, const QString &label,
                                 const QString &initial = {}) override;
    QString openFileName(const QString &caption, const QString &startDir, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &startDir, const QString &filter) override;
    QString folderName(const QString &caption, const QString &startDir) override;

    const QList<Record> &records() const { return records_; }
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

    QQueue<Answer> answers_;
    QQueue<QString> texts_;
    QList<Record> records_;
};

} // namespace vorn
