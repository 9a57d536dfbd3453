// The history of the HTML view: visited pages, newest first (entry 0 is the current one), at
// most kMaxEntries; an index that can be read and set.
#pragma once

#include <QList>
#include <QString>

namespace vorn
{

struct HistoryEntry {
    QString source; // full file name, "#anchor" included
    QString title;
};

class HtmlHistory
{
  public:
    static constexpr int kMaxEntries = 40;

    int count() const { return int(entries_.size()); }
    bool isEmpty() const { return entries_.isEmpty(); }
    int index() const { return index_; }
    const HistoryEntry &entry(int i) const { return entries_.at(i); }
    const QList<HistoryEntry> &entries() const { return entries_; }
    // The entry shown now; null when the history is empty.
    const HistoryEntry *current() const { return isEmpty() ? nullptr : &entries_.at(index_); }

    // A newly shown page: the newer entries after a step back are dropped, the page becomes
    // entry 0 and the oldest entries fall off beyond kMaxEntries. Showing the current page
    // again only updates its title.
    void visit(const QString &source, const QString &title);
    // Sets the index; false (and nothing changed) when it is out of range.
    bool setIndex(int i);
    void setCurrentTitle(const QString &title);
    void clear();

  private:
    QList<HistoryEntry> entries_;
    int index_ = 0;
};

} // namespace vorn
