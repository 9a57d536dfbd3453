#include "rename/rename_pattern.h"

namespace vorn
{

namespace
{

// The text before the first dot, the whole name when it has none.
QString stem(const QString &name)
{
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

} // namespace

void RenamePattern::setInsertName(bool on, const QString &placeholder)
{
    insert_ = on;
    template_ = on ? placeholder.left(kMaxText) : QString();
}

void RenamePattern::setFill(bool on)
{
    fillOn_ = on;
    fillChar_ = on ? (zero_ ? QLatin1Char('0') : QLatin1Char('_')) : QLatin1Char(' ');
}

void RenamePattern::setFillZero(bool zero)
{
    zero_ = zero;
    fillChar_ = zero ? QLatin1Char('0') : QLatin1Char('_');
}

bool RenamePattern::digitsUp()
{
    if (digits_ >= kMaxDigits)
        return false;
    ++digits_;
    return true;
}

bool RenamePattern::digitsDown()
{
    if (digits_ <= kMinDigits)
        return false;
    --digits_;
    return true;
}

void RenamePattern::setStartText(const QString &text)
{
    start_ = text;
    const int len = int(std::min<qsizetype>(text.size(), kMaxDigits));
    if (len > digits_)
        digits_ = len;
}

std::optional<qint64> RenamePattern::startNumber() const
{
    const QString t = start_.trimmed();
    if (t.isEmpty() || t.size() > 18)
        return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return t.toLongLong();
}

QString RenamePattern::numberText(qint64 n) const
{
    const QString dec = QString::number(n);
    return QString(std::max<qsizetype>(0, digits_ - dec.size()), fillChar_) + dec;
}

QString RenamePattern::extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return {};
    QString ext = name.mid(dot);
    for (QChar &c : ext)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    return ext;
}

QString RenamePattern::compose(const QString &number, const QString &inserted, const QString &ext) const
{
    return nameLeft_ ? before_ + inserted + number + after_ + ext
                     : before_ + number + inserted + after_ + ext;
}

QString RenamePattern::newName(const QString &oldName, qint64 n, const QString &placeholder) const
{
    QString inserted;
    if (insert_) {
        const qsizetype at = placeholder.isEmpty() ? -1 : template_.indexOf(placeholder);
        const QString head = at < 0 ? QString() : template_.left(at);
        const QString tail = at < 0 ? QString() : template_.mid(at + placeholder.size());
        inserted = head + stem(oldName) + tail;
    }
    return compose(numberText(n), inserted, extensionOf(oldName));
}

QString RenamePattern::sample() const
{
    const QString typed = start_.trimmed();
    const QString number = QString(std::max<qsizetype>(0, digits_ - typed.size()), fillChar_) + typed;
    return compose(number, insert_ ? template_ : QString(), QStringLiteral(".xyz"));
}

} // namespace vorn
