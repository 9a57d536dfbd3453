#include "files/tree_scan_job.h"

#include "base/job.h"
#include "files/tree_scanner.h"

#include <QElapsedTimer>

namespace vorn
{

namespace
{
constexpr int kBatchFiles = 2000; // send a batch at the next folder once this many are found
constexpr qint64 kBatchMs = 25;   // ... or once this much time has passed since the last one
} // namespace

TreeScanJob::TreeScanJob(QObject *parent) : QObject(parent), job_(std::make_unique<Job>())
{
    // The end comes after every batch of the walk; it waits in the queue like a batch while a
    // cancel question is open.
    connect(job_.get(), &Job::finished, this, [this] { deliver({}, true); });
}

TreeScanJob::~TreeScanJob() = default; // the job stops the walk and waits for it

bool TreeScanJob::start(const QString &root, const QStringList &patterns)
{
    if (running_)
        return false;
    running_ = true;
    cancelRequested_ = false;
    stopped_ = false;
    found_ = 0;
    pending_.clear();

    job_->start([this, root, patterns](JobToken &t) {
        QStringList batch;
        QElapsedTimer sinceFlush;
        sinceFlush.start();
        // Batches reach this object's thread in order; `this` outlives them (the job is
        // destroyed with it and drops what is still queued).
        auto post = [&] {
            t.deliver([this, paths = std::move(batch)] { deliver(paths, false); });
            batch = QStringList();
            sinceFlush.restart();
        };
        TTreeScanner ts;
        ts.setInitialDirectory(root);
        ts.setRecursive(true);
        ts.setReportSizes(false);
        ts.OnFileFound = [&batch](TTreeScanner &s) { batch << s.FileFound(); };
        ts.OnIdle = [&](TTreeScanner &s) {
            if (!batch.isEmpty() && (batch.size() >= kBatchFiles || sinceFlush.elapsed() >= kBatchMs))
                post();
            // Held here while a cancel question is open; false once the search must end.
            if (!t.checkpoint())
                s.stop();
        };
        for (const QString &p : patterns) {
            if (!t.checkpoint())
                break;
            ts.setFileMask(p);
            ts.search();
        }
        if (!batch.isEmpty())
            post();
    });
    return true;
}

void TreeScanJob::requestCancel()
{
    if (running_)
        cancelRequested_ = true;
}

void TreeScanJob::stop()
{
    if (!running_)
        return;
    stopped_ = true;
    cancelRequested_ = true;
    job_->cancel();
}

void TreeScanJob::deliver(const QStringList &paths, bool end)
{
    if (!running_)
        return;
    pending_.push_back({paths, end});
    if (draining_)
        return; // a question is open further up the stack; it drains the queue afterwards
    draining_ = true;
    bool ended = false;
    while (!pending_.empty()) {
        const Delivery d = std::move(pending_.front());
        pending_.pop_front();
        QStringList accepted;
        for (const QString &p : d.paths) {
            if (!cancelRequested_) {
                accepted << p;
                continue;
            }
            if (stopped_)
                continue;
            // p is the file in hand: not added, whatever the answer.
            if (!accepted.isEmpty()) {
                found_ += int(accepted.size());
                emit filesAdded(accepted);
                accepted.clear();
            }
            job_->hold();
            const bool yes = confirmCancel ? confirmCancel() : true;
            if (yes) {
                stopped_ = true;
                job_->cancel();
            } else {
                cancelRequested_ = false;
            }
            job_->resume();
        }
        if (!accepted.isEmpty()) {
            found_ += int(accepted.size());
            emit filesAdded(accepted);
        }
        ended = ended || d.end;
    }
    draining_ = false;
    if (ended) {
        running_ = false;
        emit finished(stopped_);
    }
}

} // namespace vorn
