#include "lang/texts.h"

#include "lang/control_texts.h"

#include <QHash>

namespace vorn
{

namespace
{

const QHash<QString, const ControlTextRow *> &controlIndex()
{
    static const QHash<QString, const ControlTextRow *> index = [] {
        QHash<QString, const ControlTextRow *> h;
        for (int i = 0; i < kControlTextRowCount; ++i)
            h.insert(QString::fromLatin1(kControlTextRows[i].name), &kControlTextRows[i]);
        return h;
    }();
    return index;
}

const QHash<QString, const ColumnTextRow *> &columnIndex()
{
    static const QHash<QString, const ColumnTextRow *> index = [] {
        QHash<QString, const ColumnTextRow *> h;
        for (int i = 0; i < kColumnTextRowCount; ++i)
            h.insert(QString::fromLatin1(kColumnTextRows[i].name), &kColumnTextRows[i]);
        return h;
    }();
    return index;
}

QString pick(const char *de, const char *en, int language)
{
    const char *s = language == German ? de : en;
    return s ? QString::fromUtf8(s) : QString();
}

} // namespace

Texts::Texts(int language)
{
    setLanguage(language);
}

void Texts::setLanguage(int index)
{
    language_ = index == German ? German : English;
}

QString Texts::msg(Msg key) const
{
    return msg(key, language_);
}

QString Texts::msg(Msg key, int language)
{
    const int i = static_cast<int>(key);
    if (i < 0 || i >= static_cast<int>(Msg::Count_))
        return {};
    const MessageRow &row = kMessageRows[i];
    return QString::fromUtf8(language == German ? row.de : row.en);
}

QString Texts::caption(const QString &objectName) const
{
    const ControlTextRow *row = controlIndex().value(objectName);
    return row ? pick(row->captionDe, row->captionEn, language_) : QString();
}

QString Texts::hint(const QString &objectName) const
{
    const ControlTextRow *row = controlIndex().value(objectName);
    return row ? pick(row->hintDe, row->hintEn, language_) : QString();
}

namespace
{

// "sg_" followed by digits only: the entry grid of an open archive.
bool isZipGridName(const QString &name)
{
    const QLatin1String prefix(kZipGridPrefix);
    if (!name.startsWith(prefix) || name.size() == prefix.size())
        return false;
    for (qsizetype i = prefix.size(); i < name.size(); ++i)
        if (!name[i].isDigit() || name[i].unicode() > 127)
            return false;
    return true;
}

} // namespace

QStringList Texts::columns(const QString &objectName) const
{
    const ColumnTextRow *row = columnIndex().value(objectName);
    if (!row && isZipGridName(objectName))
        row = columnIndex().value(QLatin1String(kZipGridPrefix));
    if (!row)
        return {};
    return pick(row->de, row->en, language_).split(QLatin1Char('|'));
}

} // namespace vorn
