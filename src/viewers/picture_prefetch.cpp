#include "viewers/picture_prefetch.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

namespace vorn
{

PicturePrefetcher::PicturePrefetcher()
{
    pool_.setMaxThreadCount(1);
}

PicturePrefetcher::~PicturePrefetcher()
{
    pool_.clear();
    pool_.waitForDone();
}

PicturePrefetcher::Key PicturePrefetcher::keyFor(const QString &path, QSize shownSize)
{
    const QFileInfo info(path);
    return Key{path, shownSize, info.lastModified(), info.exists() ? info.size() : -1};
}

void PicturePrefetcher::prefetch(const QString &path, QSize shownSize)
{
    Key key = keyFor(path, shownSize);
    if (pending_ && key == key_)
        return;
    clear();
    key_ = std::move(key);
    pending_ = true;
    // The job captures only values, so it may outlive this object's interest in it.
    future_ = QtConcurrent::run(&pool_, [path, shownSize] { return load_picture(path, shownSize); });
}

bool PicturePrefetcher::isReady(const QString &path, QSize shownSize) const
{
    return pending_ && key_.path == path && key_.size == shownSize && future_.isFinished();
}

LoadedPicture PicturePrefetcher::take(const QString &path, QSize shownSize)
{
    if (pending_ && key_.path == path && key_.size == shownSize) {
        QFuture<LoadedPicture> future = future_;
        const bool unchanged = keyFor(path, shownSize) == key_;
        pending_ = false;
        future_ = QFuture<LoadedPicture>();
        key_ = Key();
        if (unchanged) {
            ++hits_;
            return future.result(); // waits when the decode is still running
        }
    }
    return load_picture(path, shownSize);
}

void PicturePrefetcher::clear()
{
    pool_.clear(); // a queued job that has not started is dropped
    pending_ = false;
    future_ = QFuture<LoadedPicture>();
    key_ = Key();
}

} // namespace vorn
