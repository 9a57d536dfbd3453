#include "lang/date_format.h"

namespace vorn
{

namespace
{

void appendTwoDigits(QString &out, int value)
{
    value %= 100;
    if (value < 0)
        value = -value;
    out += QLatin1Char(char('0' + value / 10));
    out += QLatin1Char(char('0' + value % 10));
}

} // namespace

QString format_date(const QDate &date, int language)
{
    Q_UNUSED(language); // the same separator and order in German and English
    if (!date.isValid())
        return {};
    QString out;
    out.reserve(8);
    appendTwoDigits(out, date.day());
    out += QLatin1Char(kDateSeparator);
    appendTwoDigits(out, date.month());
    out += QLatin1Char(kDateSeparator);
    appendTwoDigits(out, date.year());
    return out;
}

} // namespace vorn
