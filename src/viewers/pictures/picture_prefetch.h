// Decodes pictures for the picture view off the UI thread: the picture asked for, and the next
// entry of the list ahead of time, so that stepping through a folder shows it without waiting.
// Holds at most one prefetched picture; the view holds the shown one. Nothing here blocks the
// UI thread: a picture that is not ready is announced by decoded() when it is.
#pragma once

#include "base/job.h"
#include "codecs/picture_loader.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QThreadPool>
#include <functional>
#include <optional>

namespace vorn
{

// One decoded request: the still picture at the asked size, or for an animation its first frame
// with the file's bytes for the movie.
struct DecodedPicture {
    QString path;
    QSize shownSize;
    LoadedPicture picture;
    QByteArray animation; // empty for a still picture
};

// Decodes `path` for `shownSize` (see load_picture); a GIF at natural size. `cancelled` is
// polled where the decoder allows and stops the decode.
DecodedPicture decode_for_view(const QString &path, QSize shownSize,
                               const std::function<bool()> &cancelled = {});

class PicturePrefetcher : public QObject
{
    Q_OBJECT
  public:
    explicit PicturePrefetcher(QObject *parent = nullptr);
    ~PicturePrefetcher() override;

    // Starts decoding `path` for `shownSize` in the background and forgets any earlier
    // prefetch that was not taken. Does nothing when that exact request is already pending.
    void prefetch(const QString &path, QSize shownSize);
    // Asks for the picture at `path` for `shownSize`. Returns it at once when the prefetched
    // one matches, has finished and the file is unchanged since. Otherwise returns nothing and
    // decoded() follows: from the running prefetch when it is this request, else from a decode
    // started now. A newer request supersedes an older one, which is never announced.
    std::optional<DecodedPicture> take(const QString &path, QSize shownSize);
    // Forgets the request decoded() was to answer (the view let go of it).
    void cancelRequest();
    // True while a request is waiting for its decode.
    bool isDecoding() const { return waiting_ != Waiting::None; }
    // True when a prefetch for exactly this request has finished.
    bool isReady(const QString &path, QSize shownSize) const;
    // True while a picture is decoded ahead that nobody waits for yet.
    bool isPrefetching() const { return pending_ && !ready_ && waiting_ != Waiting::Prefetch; }
    // Drops the prefetched picture (for instance when the list changes); a request waiting
    // for it is decoded on its own.
    void clear();
    // Number of requests served from the background decode of the next entry (for tests).
    int hits() const { return hits_; }
    // For tests only: called on the decoding thread before each decode (it may hold the decode
    // there); nullptr switches it off.
    using DecodeHook = void (*)(const QString &path);
    static void setDecodeHook(DecodeHook hook);

  signals:
    // The picture of the newest request is ready (decoded or failed: see picture.ok).
    void decoded(const vorn::DecodedPicture &picture);
    // The picture decoded ahead is ready and waits to be taken.
    void prefetched();

  private:
    struct Key {
        QString path;
        QSize size;
        qint64 modifiedNs = 0;
        qint64 bytes = -1;
        bool operator==(const Key &o) const
        {
            return path == o.path && size == o.size && modifiedNs == o.modifiedNs && bytes == o.bytes;
        }
    };
    static Key keyFor(const QString &path, QSize shownSize);
    // The request waits for no decode, for the prefetch, or for a decode of its own.
    enum class Waiting { None, Prefetch, Own };

    void requestOwn(const QString &path, QSize shownSize);
    void dropPrefetch();
    void prefetchFinished();
    void ownFinished();

    // Two workers: the picture asked for never queues behind the one decoded ahead.
    QThreadPool pool_;
    Job prefetchJob_{nullptr, &pool_};
    Job ownJob_{nullptr, &pool_};
    Key key_;
    bool pending_ = false; // a prefetch for key_ was started and not taken
    std::optional<DecodedPicture> ready_;
    Waiting waiting_ = Waiting::None;
    int hits_ = 0;
};

} // namespace vorn
