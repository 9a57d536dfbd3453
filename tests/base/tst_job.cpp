// The job type: result and error on finish, ordered deliveries, cancel, hold, questions in
// the middle of a run, and a replaced run that is never heard from again.
#include "base/job.h"

#include <QSignalSpy>
#include <QThreadPool>
#include <QtTest>
#include <atomic>

using namespace vorn;

class TstJob : public QObject
{
    Q_OBJECT
  private slots:
    void resultAndDeliveriesInOrder();
    void failureCarriesItsText();
    void cancelEndsAtCheckpoint();
    void holdKeepsTheWorkWaiting();
    void askRunsOnTheOwnerThread();
    void replacedRunIsSilent();
    void destroyingWaitsForTheWork();
};

void TstJob::resultAndDeliveriesInOrder()
{
    Job job;
    QSignalSpy finished(&job, &Job::finished);
    QList<int> got;
    const QThread *owner = QThread::currentThread();
    bool onOwner = true;
    job.start([&](JobToken &t) {
        for (int i = 0; i < 100; ++i) {
            t.progress(i, 100);
            t.deliver([&got, &onOwner, owner, i] {
                onOwner = onOwner && QThread::currentThread() == owner;
                got << i;
            });
        }
        return QStringLiteral("done");
    });
    QVERIFY(job.isRunning());
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!job.isRunning());
    QCOMPARE(job.result<QString>(), QStringLiteral("done"));
    QVERIFY(!job.failed() && !job.wasCancelled());
    QCOMPARE(got.size(), 100);
    for (int i = 0; i < 100; ++i)
        QCOMPARE(got[i], i);
    QVERIFY(onOwner);
}

void TstJob::failureCarriesItsText()
{
    Job job;
    QSignalSpy finished(&job, &Job::finished);
    job.start([](JobToken &t) { t.fail(QStringLiteral("disk full")); });
    QVERIFY(finished.wait(5000));
    QVERIFY(job.failed());
    QCOMPARE(job.errorText(), QStringLiteral("disk full"));
    QVERIFY(!job.hasResult());
}

void TstJob::cancelEndsAtCheckpoint()
{
    Job job;
    QSignalSpy finished(&job, &Job::finished);
    std::atomic<int> rounds{0};
    job.start([&](JobToken &t) {
        while (t.checkpoint())
            ++rounds;
        return int(rounds);
    });
    QTRY_VERIFY(rounds > 0);
    job.cancel();
    QVERIFY(finished.wait(5000));
    QVERIFY(job.wasCancelled());
}

void TstJob::holdKeepsTheWorkWaiting()
{
    Job job;
    QSignalSpy finished(&job, &Job::finished);
    std::atomic<int> passed{0};
    std::atomic<bool> go{false};
    job.start([&](JobToken &t) {
        while (!go)
            QThread::yieldCurrentThread();
        t.checkpoint();
        ++passed;
    });
    job.hold();
    go = true;
    QTest::qWait(50); // the work stays before its checkpoint while held
    QCOMPARE(int(passed), 0);
    job.resume();
    QVERIFY(finished.wait(5000));
    QCOMPARE(int(passed), 1);
}

void TstJob::askRunsOnTheOwnerThread()
{
    Job job;
    QSignalSpy finished(&job, &Job::finished);
    const QThread *owner = QThread::currentThread();
    job.start([owner](JobToken &t) {
        bool yes = false;
        const QThread *ran = nullptr;
        const bool asked = t.ask([&] {
            ran = QThread::currentThread();
            yes = true;
        });
        return asked && yes && ran == owner;
    });
    QVERIFY(finished.wait(5000));
    QVERIFY(job.result<bool>());
}

void TstJob::replacedRunIsSilent()
{
    Job job;
    QSignalSpy finished(&job, &Job::finished);
    QStringList got;
    job.start([&](JobToken &t) {
        while (t.checkpoint())
            QThread::msleep(1);
        t.deliver([&got] { got << QStringLiteral("old"); });
        return 1;
    });
    job.start([&](JobToken &t) {
        t.deliver([&got] { got << QStringLiteral("new"); });
        return 2;
    });
    QVERIFY(finished.wait(5000));
    QTest::qWait(20);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(job.result<int>(), 2);
    QCOMPARE(got, QStringList{QStringLiteral("new")});
}

void TstJob::destroyingWaitsForTheWork()
{
    std::atomic<bool> ended{false};
    {
        Job job;
        job.start([&](JobToken &t) {
            while (t.checkpoint())
                QThread::msleep(1);
            t.deliver([] { QFAIL("a delivery after the owner went"); });
            ended = true;
        });
    }
    QVERIFY(ended);
    QTest::qWait(20);
}

QTEST_GUILESS_MAIN(TstJob)
#include "tst_job.moc"
