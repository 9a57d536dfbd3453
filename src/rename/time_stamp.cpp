#include "rename/time_stamp.h"

namespace vorn
{

std::optional<QDateTime> local_stamp(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QTime whole(time.hour(), time.minute(), time.second());
    const QDateTime dt(date, whole, Qt::LocalTime);
    // A time in the gap comes back shifted (or invalid): refuse it instead of moving it.
    if (!dt.isValid() || dt.date() != date || dt.time() != whole)
        return std::nullopt;
    return dt;
}

} // namespace vorn
