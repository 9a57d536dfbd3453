#include "app/prompter_dialog.h"

#include "app/list_message_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace vorn
{

namespace
{

QMessageBox::StandardButtons toStandard(Answers a)
{
    QMessageBox::StandardButtons b;
    if (a.testFlag(Answer::Ok))
        b |= QMessageBox::Ok;
    if (a.testFlag(Answer::Yes))
        b |= QMessageBox::Yes;
    if (a.testFlag(Answer::No))
        b |= QMessageBox::No;
    if (a.testFlag(Answer::Abort))
        b |= QMessageBox::Abort;
    if (a.testFlag(Answer::Retry))
        b |= QMessageBox::Retry;
    if (a.testFlag(Answer::Cancel))
        b |= QMessageBox::Cancel;
    return b;
}

Answer fromStandard(int b)
{
    switch (b) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return Answer::None;
    }
}

QMessageBox::Icon toIcon(PromptIcon i)
{
    switch (i) {
    case PromptIcon::Information:
        return QMessageBox::Information;
    case PromptIcon::Warning:
        return QMessageBox::Warning;
    case PromptIcon::Error:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

Answer DialogPrompter::message(const QString &text, Answers buttons, PromptIcon icon, const QString &caption)
{
    // The program's texts carry Windows line breaks; a box shows them as plain breaks.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    QMessageBox box(toIcon(icon), caption.isEmpty() ? QApplication::applicationName() : caption, shown,
                    toStandard(buttons), parent_);
    box.setTextFormat(Qt::PlainText);
    return fromStandard(box.exec());
}

void DialogPrompter::listMessage(const QString &text, const QStringList &lines, PromptIcon icon,
                                 const QString &caption)
{
    ListMessageDialog dialog(text, lines, icon, caption, parent_);
    dialog.exec();
}

std::optional<QString> DialogPrompter::input(const QString &caption, const QString &label,
                                             const QString &initial)
{
    bool ok = false;
    const QString t = QInputDialog::getText(parent_, caption, label, QLineEdit::Normal, initial, &ok);
    if (!ok)
        return std::nullopt;
    return t;
}

std::optional<QString> DialogPrompter::secret(const QString &caption, const QString &label)
{
    bool ok = false;
    const QString t = QInputDialog::getText(parent_, caption, label, QLineEdit::Password, {}, &ok);
    if (!ok)
        return std::nullopt;
    return t;
}

QString DialogPrompter::openFileName(const QString &caption, const QString &startDir, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent_, caption, startDir, filter);
}

QString DialogPrompter::saveFileName(const QString &caption, const QString &startDir, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent_, caption, startDir, filter);
}

QString DialogPrompter::folderName(const QString &caption, const QString &startDir)
{
    return QFileDialog::getExistingDirectory(parent_, caption, startDir);
}

std::optional<QString> DialogPrompter::textForm(const TextForm &form)
{
    return form.ask ? form.ask() : std::nullopt;
}

} // namespace vorn
