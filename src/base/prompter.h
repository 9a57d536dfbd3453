// Every message box, question, input box and file dialog of the program goes through a
// Prompter, so that tests can answer them from a script.
#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace vorn
{

enum class Answer { None = 0, Ok = 1, Yes = 2, No = 4, Abort = 8, Retry = 16, Cancel = 32 };
Q_DECLARE_FLAGS(Answers, Answer)
Q_DECLARE_OPERATORS_FOR_FLAGS(Answers)

enum class PromptIcon { None, Information, Warning, Error, Question };

// A form of the program that asks for one line of text (the catalog description form, ...).
struct TextForm {
    QString name;                                // the form's objectName
    std::function<std::optional<QString>()> ask; // shows it modally; nullopt when aborted
};

class Prompter
{
  public:
    virtual ~Prompter() = default;

    // A modal message box with the given buttons; returns the button pressed.
    virtual Answer message(const QString &text, Answers buttons, PromptIcon icon,
                           const QString &caption = {}) = 0;
    // A message with a list under it (the files a run could not handle, with the reasons), with
    // an OK button: the list scrolls in a dialog never larger than the screen.
    virtual void listMessage(const QString &text, const QStringList &lines, PromptIcon icon,
                             const QString &caption = {}) = 0;
    // A line input box; nullopt when cancelled.
    virtual std::optional<QString> input(const QString &caption, const QString &label,
                                         const QString &initial = {}) = 0;
    // A line input box that masks what is typed (passwords); nullopt when cancelled.
    virtual std::optional<QString> secret(const QString &caption, const QString &label)
    {
        return input(caption, label);
    }
    // File dialogs; an empty string when cancelled. filter: "Text (*.txt);;All (*)".
    virtual QString openFileName(const QString &caption, const QString &startDir, const QString &filter) = 0;
    virtual QString saveFileName(const QString &caption, const QString &startDir, const QString &filter) = 0;
    virtual QString folderName(const QString &caption, const QString &startDir) = 0;
    // A form of the program: the running program shows it, a test answers from its script.
    virtual std::optional<QString> textForm(const TextForm &form) = 0;

    // Shorthands for the fixed button sets of the program.
    void info(const QString &text) { message(text, Answer::Ok, PromptIcon::Information); }
    void error(const QString &text) { message(text, Answer::Ok, PromptIcon::Error); }
    bool askYesNo(const QString &text)
    {
        return message(text, Answer::Yes | Answer::No, PromptIcon::Question) == Answer::Yes;
    }
};

} // namespace vorn
