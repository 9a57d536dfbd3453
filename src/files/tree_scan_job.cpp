#include "files/tree_scan_job.h"

#include "files/tree_scanner.h"

#include <QElapsedTimer>
#include <QThread>
#include <condition_variable>
#include <mutex>

namespace vorn
{

namespace
{
constexpr int kBatchFiles = 2000; // send a batch at the next folder once this many are found
constexpr qint64 kBatchMs = 25;   // ... or once this much time has passed since the last one
} // namespace

// What the worker and the owning thread share: the gate that holds the worker while a
// cancel question is open, and the stop mark.
struct TreeScanJob::Shared {
    std::mutex mutex;
    std::condition_variable cv;
    bool paused = false;
    bool stopped = false;

    // False when the walk must end.
    bool passGate()
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return !paused || stopped; });
        return !stopped;
    }
    void set(bool pause, bool stop)
    {
        {
            std::lock_guard lock(mutex);
            paused = pause;
            stopped = stopped || stop;
        }
        cv.notify_all();
    }
};

TreeScanJob::TreeScanJob(QObject *parent) : QObject(parent) {}

TreeScanJob::~TreeScanJob()
{
    if (shared_)
        shared_->set(false, true);
    joinWorker();
}

void TreeScanJob::joinWorker()
{
    if (worker_) {
        worker_->wait();
        worker_.reset();
    }
}

bool TreeScanJob::start(const QString &root, const QStringList &patterns)
{
    if (running_)
        return false;
    joinWorker();
    running_ = true;
    cancelRequested_ = false;
    stopped_ = false;
    found_ = 0;
    pending_.clear();
    const quint64 gen = ++generation_;
    auto shared = std::make_shared<Shared>();
    shared_ = shared;
    TreeScanJob *job = this; // context for posting back; the destructor waits for the worker

    worker_.reset(QThread::create([shared, job, gen, root, patterns] {
        QStringList batch;
        QElapsedTimer sinceFlush;
        sinceFlush.start();
        auto post = [&](bool end) {
            QMetaObject::invokeMethod(
                job, [job, gen, paths = std::move(batch), end] { job->deliver(gen, paths, end); },
                Qt::QueuedConnection);
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
                post(false);
            if (!shared->passGate())
                s.stop();
        };
        for (const QString &p : patterns) {
            if (!shared->passGate())
                break;
            ts.setFileMask(p);
            ts.search();
        }
        post(true);
    }));
    worker_->start();
    return true;
}

void TreeScanJob::requestCancel()
{
    if (running_)
        cancelRequested_ = true;
}

void TreeScanJob::stop()
{
    if (!running_ || !shared_)
        return;
    stopped_ = true;
    cancelRequested_ = true;
    shared_->set(false, true);
}

void TreeScanJob::deliver(quint64 generation, const QStringList &paths, bool end)
{
    if (generation != generation_)
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
            shared_->set(true, false);
            const bool yes = confirmCancel ? confirmCancel() : true;
            if (yes) {
                stopped_ = true;
                shared_->set(false, true);
            } else {
                cancelRequested_ = false;
                shared_->set(false, false);
            }
        }
        if (!accepted.isEmpty()) {
            found_ += int(accepted.size());
            emit filesAdded(accepted);
        }
        ended = ended || d.end;
    }
    draining_ = false;
    if (ended) {
        joinWorker();
        running_ = false;
        emit finished(stopped_);
    }
}

} // namespace vorn
