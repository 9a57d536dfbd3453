#include "viewers/pictures/picture_prefetch.h"

#include "base/native_names.h"
#include "codecs/image_memory.h"

#include <QFile>

#include <atomic>

namespace vorn
{

DecodedPicture decode_for_view(const QString &path, QSize shownSize, const std::function<bool()> &cancelled)
{
    DecodedPicture d{path, shownSize, {}, {}};
    const PictureKind kind = picture_kind(path);
    DecodeRequest request;
    request.cancelled = cancelled;
    // Shown at once, and replaced by the sharp picture when there is time (see the view).
    request.coarseFirst = true;
    // A GIF's first frame is checked at its natural size; too big a shown size is not handed
    // out at once (the view scales the natural picture).
    if (kind != PictureKind::Gif && shownSize.isValid() &&
        qint64(shownSize.width()) * shownSize.height() <= request.maxPixels)
        request.shownSize = shownSize;
    if (!is_animated_kind(kind)) {
        d.picture = load_picture(path, request);
        return d;
    }
    // The frames are played from the file's bytes. A GIF always plays (as a movie of one frame
    // when it has one); another kind plays when it holds more than one frame. A canvas too big
    // to play frame by frame on the UI thread shows still.
    const QByteArray data = read_whole_file(path);
    d.picture = decode_picture(data, kind, request);
    if (d.picture.ok && within_pixels(d.picture.naturalSize, kMaxMoviePixels) &&
        (kind == PictureKind::Gif || d.picture.frameCount > 1))
        d.animation = data;
    return d;
}

namespace
{

std::atomic<PicturePrefetcher::DecodeHook> g_decodeHook{nullptr};

// The work of one decode: values only, so that it may outlive the request.
auto decodeWork(const QString &path, QSize shownSize)
{
    return [path, shownSize](JobToken &t) -> DecodedPicture {
        if (!t.checkpoint()) // superseded while it waited for a worker
            return DecodedPicture{path, shownSize, {}, {}};
        if (const PicturePrefetcher::DecodeHook hook = g_decodeHook.load())
            hook(path);
        return decode_for_view(path, shownSize, [&t] { return t.cancelled(); });
    };
}

} // namespace

void PicturePrefetcher::setDecodeHook(DecodeHook hook)
{
    g_decodeHook.store(hook);
}

PicturePrefetcher::PicturePrefetcher(QObject *parent) : QObject(parent)
{
    pool_.setMaxThreadCount(2);
    connect(&prefetchJob_, &Job::finished, this, &PicturePrefetcher::prefetchFinished);
    connect(&ownJob_, &Job::finished, this, &PicturePrefetcher::ownFinished);
}

PicturePrefetcher::~PicturePrefetcher()
{
    prefetchJob_.cancel();
    ownJob_.cancel();
}

PicturePrefetcher::Key PicturePrefetcher::keyFor(const QString &path, QSize shownSize)
{
    const PathInfo info = path_info(path);
    return Key{path, shownSize, info.mtimeNs, info.size};
}

void PicturePrefetcher::prefetch(const QString &path, QSize shownSize)
{
    Key key = keyFor(path, shownSize);
    if (pending_ && key == key_)
        return;
    dropPrefetch();
    key_ = std::move(key);
    pending_ = true;
    prefetchJob_.start(decodeWork(path, shownSize));
}

bool PicturePrefetcher::isReady(const QString &path, QSize shownSize) const
{
    return pending_ && ready_ && key_.path == path && key_.size == shownSize;
}

std::optional<DecodedPicture> PicturePrefetcher::take(const QString &path, QSize shownSize)
{
    cancelRequest();
    if (pending_ && key_.path == path && key_.size == shownSize) {
        if (keyFor(path, shownSize) == key_) {
            if (ready_) {
                std::optional<DecodedPicture> picture = std::move(ready_);
                ready_.reset();
                pending_ = false;
                key_ = Key();
                ++hits_;
                return picture;
            }
            waiting_ = Waiting::Prefetch;
            return std::nullopt;
        }
        dropPrefetch(); // the file changed since: its prefetch is stale
    }
    requestOwn(path, shownSize);
    return std::nullopt;
}

void PicturePrefetcher::requestOwn(const QString &path, QSize shownSize)
{
    waiting_ = Waiting::Own;
    ownJob_.start(decodeWork(path, shownSize));
}

void PicturePrefetcher::cancelRequest()
{
    if (waiting_ == Waiting::Own)
        ownJob_.cancel();
    waiting_ = Waiting::None;
}

void PicturePrefetcher::dropPrefetch()
{
    if (waiting_ == Waiting::Prefetch)
        requestOwn(key_.path, key_.size);
    prefetchJob_.cancel();
    pending_ = false;
    ready_.reset();
    key_ = Key();
}

void PicturePrefetcher::clear()
{
    dropPrefetch();
}

void PicturePrefetcher::prefetchFinished()
{
    if (prefetchJob_.wasCancelled() || !prefetchJob_.hasResult() || !pending_)
        return;
    DecodedPicture picture = prefetchJob_.result<DecodedPicture>();
    if (waiting_ != Waiting::Prefetch) {
        ready_ = std::move(picture);
        emit prefetched();
        return;
    }
    waiting_ = Waiting::None;
    pending_ = false;
    key_ = Key();
    ++hits_;
    emit decoded(picture);
}

void PicturePrefetcher::ownFinished()
{
    if (ownJob_.wasCancelled() || !ownJob_.hasResult() || waiting_ != Waiting::Own)
        return;
    waiting_ = Waiting::None;
    emit decoded(ownJob_.result<DecodedPicture>());
}

} // namespace vorn
