#include "viewers/documents/html_history.h"

namespace vorn
{

void HtmlHistory::visit(const QString &source, const QString &title)
{
    if (!isEmpty() && entries_.at(index_).source == source) {
        entries_[index_].title = title;
        return;
    }
    entries_.remove(0, index_);
    entries_.prepend({source, title});
    index_ = 0;
    if (entries_.size() > kMaxEntries)
        entries_.resize(kMaxEntries);
}

bool HtmlHistory::setIndex(int i)
{
    if (i < 0 || i >= count())
        return false;
    index_ = i;
    return true;
}

void HtmlHistory::setCurrentTitle(const QString &title)
{
    if (!isEmpty())
        entries_[index_].title = title;
}

void HtmlHistory::clear()
{
    entries_.clear();
    index_ = 0;
}

} // namespace vorn
