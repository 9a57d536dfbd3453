#include "base/job.h"

#include <QPointer>
#include <QThreadPool>

namespace vorn
{

// What a run shares between its pool thread and its owner.
struct JobToken::State {
    Job *owner = nullptr; // alive until the work has returned: the owner's destructor waits
    std::atomic<bool> cancelled{false};

    std::mutex mutex;
    std::condition_variable cv;
    bool held = false;
    bool workDone = false;
    // Coalesced progress: one posted event at a time carries the latest values.
    qint64 done = 0;
    qint64 total = -1;
    QString text;
    bool progressPosted = false;
    QString error;
    // An open question (ask): answered on the owner's thread.
    quint64 asked = 0;
    quint64 answered = 0;
    quint64 answering = 0; // the question whose fn has begun: it runs to its end before ask returns

    void wake()
    {
        {
            std::lock_guard lock(mutex);
        }
        cv.notify_all();
    }
};

bool JobToken::checkpoint()
{
    std::unique_lock lock(s_->mutex);
    s_->cv.wait(lock, [this] { return !s_->held || s_->cancelled.load(); });
    return !s_->cancelled.load();
}

bool JobToken::cancelled() const
{
    return s_->cancelled.load();
}

void JobToken::progress(qint64 done, qint64 total, const QString &text)
{
    bool post = false;
    {
        std::lock_guard lock(s_->mutex);
        s_->done = done;
        s_->total = total;
        s_->text = text;
        post = !s_->progressPosted;
        s_->progressPosted = true;
    }
    if (post)
        QMetaObject::invokeMethod(
            s_->owner, [s = s_] { s->owner->onProgress(s); }, Qt::QueuedConnection);
}

void JobToken::fail(const QString &errorText)
{
    std::lock_guard lock(s_->mutex);
    if (s_->error.isEmpty())
        s_->error = errorText;
}

void JobToken::deliver(std::function<void()> fn)
{
    QMetaObject::invokeMethod(
        s_->owner,
        [s = s_, fn = std::move(fn)] {
            if (s->owner->current_ == s)
                fn();
        },
        Qt::QueuedConnection);
}

bool JobToken::ask(const std::function<void()> &fn)
{
    quint64 ticket = 0;
    {
        std::lock_guard lock(s_->mutex);
        if (s_->cancelled.load())
            return false;
        ticket = ++s_->asked;
    }
    // fn lives on this stack until the answer or a cancel; the posted call checks which.
    QMetaObject::invokeMethod(
        s_->owner,
        [s = s_, &fn, ticket] {
            {
                std::lock_guard lock(s->mutex);
                if (s->cancelled.load() || s->owner->current_ != s)
                    return;
                s->answering = ticket;
            }
            // A cancel while fn runs (from inside it, too) waits for fn: fn uses the worker's stack.
            fn();
            {
                std::lock_guard lock(s->mutex);
                s->answered = ticket;
            }
            s->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(s_->mutex);
    s_->cv.wait(lock,
                [&] { return s_->answered >= ticket || (s_->cancelled.load() && s_->answering < ticket); });
    return s_->answered >= ticket;
}

Job::Job(QObject *parent, QThreadPool *pool)
    : QObject(parent), pool_(pool ? pool : QThreadPool::globalInstance())
{
}

Job::~Job()
{
    if (current_) {
        current_->cancelled = true;
        current_->wake();
    }
    current_.reset();
    waitForWork();
}

void Job::startRun(std::function<std::any(JobToken &)> work)
{
    if (current_) {
        current_->cancelled = true; // the older run ends at its next checkpoint, unheard
        current_->wake();
    }
    auto s = std::make_shared<JobToken::State>();
    s->owner = this;
    current_ = s;
    running_ = true;
    cancelled_ = false;
    errorText_.clear();
    result_.reset();

    // Forget runs whose work has returned; keep the others for the destructor's wait.
    // The flag is read under the run's lock, the run let go of after it: erasing may free
    // the state, its mutex with it.
    for (auto it = runs_.begin(); it != runs_.end();) {
        bool done = false;
        {
            std::lock_guard lock((*it)->mutex);
            done = (*it)->workDone;
        }
        it = done ? runs_.erase(it) : it + 1;
    }
    runs_.append(s);

    pool_->start([s, work = std::move(work)]() mutable {
        JobToken token(s);
        std::any result = work(token);
        // Posted before workDone is set, so the owner is still alive when it is posted.
        QMetaObject::invokeMethod(
            s->owner, [s, r = std::move(result)]() mutable { s->owner->onFinished(s, std::move(r)); },
            Qt::QueuedConnection);
        {
            std::lock_guard lock(s->mutex);
            s->workDone = true;
        }
        s->cv.notify_all();
    });
}

void Job::cancel()
{
    if (current_) {
        current_->cancelled = true;
        current_->wake();
    }
}

void Job::hold()
{
    if (current_) {
        std::lock_guard lock(current_->mutex);
        current_->held = true;
    }
}

void Job::resume()
{
    if (current_) {
        {
            std::lock_guard lock(current_->mutex);
            current_->held = false;
        }
        current_->cv.notify_all();
    }
}

void Job::waitForWork()
{
    for (const auto &s : std::as_const(runs_)) {
        std::unique_lock lock(s->mutex);
        s->cv.wait(lock, [&] { return s->workDone; });
    }
}

void Job::onProgress(const std::shared_ptr<JobToken::State> &s)
{
    qint64 done = 0;
    qint64 total = -1;
    QString text;
    {
        std::lock_guard lock(s->mutex);
        s->progressPosted = false;
        done = s->done;
        total = s->total;
        text = s->text;
    }
    if (s == current_ && running_)
        emit progressed(done, total, text);
}

void Job::onFinished(const std::shared_ptr<JobToken::State> &s, std::any result)
{
    if (s != current_)
        return; // a replaced run
    running_ = false;
    cancelled_ = s->cancelled.load();
    {
        std::lock_guard lock(s->mutex);
        errorText_ = s->error;
    }
    result_ = std::move(result);
    emit finished();
}

} // namespace vorn
