#include "catalog/catalog_job.h"

#include "catalog/catalog_pages.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>

namespace vorn
{

CatalogJob::CatalogJob(QObject *parent) : QObject(parent), pool_(std::make_unique<QThreadPool>())
{
    connect(&watcher_, &QFutureWatcherBase::finished, this, &CatalogJob::consumeReady);
}

CatalogJob::~CatalogJob()
{
    if (stop_)
        stop_->store(true);
    watcher_.disconnect(this);
    pool_->waitForDone();
}

bool CatalogJob::start(const CatalogRequest &request)
{
    if (running_ || request.pictures.isEmpty())
        return false;
    request_ = request;
    request_.cols = std::max(3, request_.cols);
    request_.perPage = std::max(request_.cols, request_.perPage);
    if (!request_.folder.endsWith(QLatin1Char('/')))
        request_.folder += QLatin1Char('/');
    const int workers = request.workers > 0 ? request.workers : std::max(1, QThread::idealThreadCount());
    pool_->setMaxThreadCount(workers);
    // The workers keep making thumbnails a page ahead, so writing a page (which syncs it to the
    // disk) on this thread does not leave them idle. Each result is small: the thumbnail is on
    // the disk already.
    window_ = 2 * workers + 1 + request_.perPage;
    thumbNames_ = unique_thumbnail_names(request_.pictures);
    futures_.clear();
    futures_.reserve(size_t(request_.pictures.size()));
    stop_ = std::make_shared<std::atomic_bool>(false);
    writer_ = std::make_unique<CatalogPageWriter>(request_.title, request_.background, request_.cellSize,
                                                  request_.cols);
    result_ = CatalogRunResult();
    next_ = 0;
    running_ = true;
    held_ = false;
    cancel_ = false;
    submitAhead();
    watchNext();
    return true;
}

void CatalogJob::requestCancel()
{
    if (running_)
        cancel_ = true;
}

void CatalogJob::setHeld(bool held)
{
    held_ = held;
    if (!held_ && running_)
        consumeReady();
}

void CatalogJob::submitAhead()
{
    const int n = int(request_.pictures.size());
    while (int(futures_.size()) < n && int(futures_.size()) < next_ + window_) {
        const int i = int(futures_.size());
        const QString picture = request_.pictures[i];
        const QString thumb = request_.folder + thumbNames_[i];
        const int size = request_.cellSize;
        const std::shared_ptr<std::atomic_bool> stop = stop_;
        futures_.push_back(QtConcurrent::run(pool_.get(), [picture, thumb, size, stop]() {
            return stop->load() ? ThumbnailResult() : make_thumbnail(picture, thumb, size);
        }));
    }
}

void CatalogJob::watchNext()
{
    if (running_ && next_ < int(futures_.size()))
        watcher_.setFuture(futures_[size_t(next_)]);
}

bool CatalogJob::writePage()
{
    const QByteArray page = writer_->finishPage();
    QSaveFile file(request_.folder + QString::number(result_.pages + 1) + QStringLiteral(".htm"));
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit())
        return false;
    ++result_.pages;
    return true;
}

void CatalogJob::consumeReady()
{
    const int n = int(request_.pictures.size());
    while (running_ && !held_ && next_ < int(futures_.size()) && futures_[size_t(next_)].isFinished()) {
        const ThumbnailResult thumb = futures_[size_t(next_)].result();
        futures_[size_t(next_)] = QFuture<ThumbnailResult>(); // drop the held result
        const QString picture = request_.pictures[next_];
        CatalogCell cell{picture, thumbNames_[next_], thumb.ok ? thumb.size : QSize()};
        if (!thumb.ok)
            result_.failed << picture;
        writer_->add(cell);
        ++next_;
        ++result_.pictures;
        submitAhead();
        emit pictureAdded(next_, n, picture);
        if (next_ == n || cancel_ || writer_->cellsOnPage() == request_.perPage) {
            if (!writePage()) {
                result_.writeFailed = true;
                finish();
                return;
            }
            if (next_ == n || cancel_) {
                result_.cancelled = cancel_ && next_ < n;
                finish();
                return;
            }
        }
    }
    watchNext();
}

void CatalogJob::finish()
{
    running_ = false;
    stop_->store(true);
    pool_->waitForDone();
    // Thumbnails made ahead of the pages for pictures that were not placed.
    for (int i = next_; i < int(futures_.size()); ++i)
        QFile::remove(request_.folder + thumbNames_[i]);
    futures_.clear();
    writer_.reset();
    emit finished(result_);
}

CatalogRunResult run_catalog(const CatalogRequest &request)
{
    CatalogJob job;
    CatalogRunResult result;
    QEventLoop loop;
    QObject::connect(&job, &CatalogJob::finished, &loop, [&](const CatalogRunResult &r) {
        result = r;
        loop.quit();
    });
    if (job.start(request))
        loop.exec();
    return result;
}

} // namespace vorn
