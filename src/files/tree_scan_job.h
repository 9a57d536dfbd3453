// A tree search for several patterns on a job (base/job.h): the walk of the root folder is run
// once per pattern, in order, and the matching paths reach this object's thread in batches,
// in the order found (the first pattern's files folder by folder, then the second's, ...).
//
// Cancelling works like this: requestCancel() only marks a cancel. The next matching file
// that arrives is "the file in hand": it is never added; the worker is held at its next
// folder while confirmCancel() asks. No: the mark is cleared and the search goes on with the
// file after it. Yes: nothing more is added and the search ends (the remaining patterns too).
// A search that finds no further file after the mark runs to its end.
#pragma once

#include <QObject>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>

namespace vorn
{

class Job;

class TreeScanJob : public QObject
{
    Q_OBJECT
  public:
    explicit TreeScanJob(QObject *parent = nullptr);
    ~TreeScanJob() override; // stops a running walk and waits for it

    // Asked on this object's thread with the file in hand; true means stop (the Yes answer).
    // Unset counts as Yes. A modal question may run an event loop: batches that arrive
    // meanwhile are held back until the answer.
    std::function<bool()> confirmCancel;

    // Starts the search of root for each pattern. False (and nothing happens) while one runs.
    bool start(const QString &root, const QStringList &patterns);
    bool isRunning() const { return running_; }
    // bt_exitscanClick: mark a cancel; the question comes with the next matching file.
    void requestCancel();
    // Ends a running walk without a question (the window is closing); finished() follows.
    void stop();
    bool cancelRequested() const { return cancelRequested_; }
    // Paths added so far in this search.
    int foundCount() const { return found_; }

  signals:
    // Paths to append to the search list, in order.
    void filesAdded(const QStringList &paths);
    // The search is over: stopped is true when a cancel was confirmed.
    void finished(bool stopped);

  private:
    struct Delivery {
        QStringList paths;
        bool end = false;
    };
    void deliver(const QStringList &paths, bool end);

    std::deque<Delivery> pending_;
    bool running_ = false;
    bool draining_ = false;
    bool cancelRequested_ = false;
    bool stopped_ = false;
    int found_ = 0;
    // Declared last: destroyed first, so no batch meets a half-destroyed search.
    std::unique_ptr<Job> job_;
};

} // namespace vorn
