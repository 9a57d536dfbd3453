// The local date and time a stamp run writes, to the whole second.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <optional>

namespace vorn
{

// The picked date and time as a local moment, milliseconds dropped. None when that local time
// does not exist (the hour skipped at the switch to summer time) or the date is invalid.
std::optional<QDateTime> local_stamp(QDate date, QTime time);

} // namespace vorn
