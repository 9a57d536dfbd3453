// The German and English texts of the program: messages by key, control texts by objectName.
#pragma once

#include "lang/message_texts.h"

#include <QString>
#include <QStringList>

namespace vorn
{

enum Language : int { German = 0, English = 1 };

class Texts
{
  public:
    explicit Texts(int language = German);

    // Any index other than 0 or 1 becomes English.
    void setLanguage(int index);
    int language() const { return language_; }

    QString msg(Msg key) const;
    static QString msg(Msg key, int language);

    // Control texts keyed by the control's objectName; a null QString when the table has none.
    QString caption(const QString &objectName) const;
    QString hint(const QString &objectName) const;
    // Column titles of a grid or list, in column order; empty when the table has none.
    QStringList columns(const QString &objectName) const;

  private:
    int language_ = German;
};

} // namespace vorn
