// Dates as the program shows them: day.month.year with dots in both languages.
#pragma once

#include <QDate>
#include <QString>

namespace vorn
{

// The date separator of both languages.
inline constexpr char kDateSeparator = '.';

// "dd.mm.yy" (two digits each), whatever the language and the system locale; empty for an
// invalid date.
QString format_date(const QDate &date, int language);

} // namespace vorn
