// The Prompter of the running program: QMessageBox, QInputDialog and QFileDialog.
#pragma once

#include "base/prompter.h"

class QWidget;

namespace vorn
{

class DialogPrompter : public Prompter
{
  public:
    explicit DialogPrompter(QWidget *parent = nullptr) : parent_(parent) {}
    void setParent(QWidget *parent) { parent_ = parent; }

    Answer message(const QString &text, Answers buttons, PromptIcon icon,
                   const QString &caption = {}) override;
    void listMessage(const QString &text, const QStringList &lines, PromptIcon icon,
                     const QString &caption = {}) override;
    std::optional<QString> input(const QString &caption, const QString &label,
                                 const QString &initial = {}) override;
    std::optional<QString> secret(const QString &caption, const QString &label) override;
    QString openFileName(const QString &caption, const QString &startDir, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &startDir, const QString &filter) override;
    QString folderName(const QString &caption, const QString &startDir) override;
    std::optional<QString> textForm(const TextForm &form) override;

  private:
    QWidget *parent_;
};

} // namespace vorn
