// One piece of slow work on a thread pool, owned by an object of the UI thread: start,
// progress, cancel, hold, and a finish that carries a result and an error text.
//
// The work function runs on a pool thread and gets a JobToken. Through it the work asks
// whether to go on (checkpoint(): false once cancelled; it waits while the job is held),
// reports progress (coalesced: the owner sees the latest values, never a flood of events),
// reports a failure (fail(text)) and hands partial results to the owner's thread in order
// (deliver(fn): fn runs on the owner's thread, e.g. to append one batch to a model).
//
// Starting again while a run is going cancels the older run: nothing of it (progress,
// deliveries, finish) reaches the owner any more. Destroying the job cancels its runs and
// waits for them, so a delivery never meets a destroyed owner. No nested event loop anywhere.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <any>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class QThreadPool;

namespace vorn
{

class Job;

class JobToken
{
  public:
    // False once the run was cancelled (or replaced); waits while the job is held.
    bool checkpoint();
    // True once the run was cancelled (or replaced); does not wait.
    bool cancelled() const;
    // The latest progress: `done` of `total` (total < 0: unknown), with a line of text.
    void progress(qint64 done, qint64 total = -1, const QString &text = {});
    // Marks the run failed with the text the owner shows; the work should return soon after.
    void fail(const QString &errorText);
    // Runs fn on the owner's thread, after every earlier delivery, unless the run is stale.
    void deliver(std::function<void()> fn);
    // Runs fn on the owner's thread and waits for it (a question in the middle of a run).
    // Returns false without running fn when the run is cancelled first.
    bool ask(const std::function<void()> &fn);

  private:
    friend class Job;
    struct State;
    explicit JobToken(std::shared_ptr<State> s) : s_(std::move(s)) {}
    std::shared_ptr<State> s_;
};

class Job : public QObject
{
    Q_OBJECT
  public:
    // pool: where the work runs; the global pool when null. Not owned.
    explicit Job(QObject *parent = nullptr, QThreadPool *pool = nullptr);
    ~Job() override;

    // Starts `work` (a callable taking JobToken&; its return value, if any, becomes the
    // result). A run that is still going is cancelled first and forgotten.
    template <class F> void start(F &&work)
    {
        using R = std::invoke_result_t<F &, JobToken &>;
        startRun([w = std::forward<F>(work)](JobToken &t) mutable -> std::any {
            if constexpr (std::is_void_v<R>) {
                w(t);
                return {};
            } else {
                return std::any(w(t));
            }
        });
    }

    bool isRunning() const { return running_; }
    // Asks the current run to stop; finished() still follows, with wasCancelled() true.
    void cancel();
    // Holds the run at its next checkpoint until resume() (e.g. while a question is open).
    void hold();
    void resume();
    // Blocks until the current run's work function has returned (shutdown and tests only);
    // its finish is then delivered by the event loop as usual.
    void waitForWork();

    // The outcome of the last finished run.
    bool wasCancelled() const { return cancelled_; }
    bool failed() const { return !errorText_.isEmpty(); }
    QString errorText() const { return errorText_; }
    template <class R> R result() const { return std::any_cast<R>(result_); }
    bool hasResult() const { return result_.has_value(); }

  signals:
    void progressed(qint64 done, qint64 total, const QString &text);
    // The run ended (done, failed or cancelled); the outcome is readable now.
    void finished();

  private:
    friend class JobToken;
    void startRun(std::function<std::any(JobToken &)> work);
    void onProgress(const std::shared_ptr<JobToken::State> &s);
    void onFinished(const std::shared_ptr<JobToken::State> &s, std::any result);

    QThreadPool *pool_;
    std::shared_ptr<JobToken::State> current_;
    QList<std::shared_ptr<JobToken::State>> runs_; // runs whose work may still be going
    bool running_ = false;
    bool cancelled_ = false;
    QString errorText_;
    std::any result_;
};

} // namespace vorn
