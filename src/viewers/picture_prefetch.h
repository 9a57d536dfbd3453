// Decodes the next picture of the list in the background, so that stepping through a folder
// shows it without waiting. Holds at most one prefetched picture; the view holds the shown one.
#pragma once

#include "viewers/picture_loader.h"

#include <QDateTime>
#include <QFuture>
#include <QThreadPool>

namespace vorn
{

class PicturePrefetcher
{
  public:
    PicturePrefetcher();
    ~PicturePrefetcher();
    PicturePrefetcher(const PicturePrefetcher &) = delete;
    PicturePrefetcher &operator=(const PicturePrefetcher &) = delete;

    // Starts decoding `path` for `shownSize` (see load_picture) and forgets any earlier
    // prefetch that was not taken. Does nothing when that exact request is already pending.
    void prefetch(const QString &path, QSize shownSize);
    // The picture for `path` at `shownSize`: the prefetched one when it matches (waiting for it
    // if it is still being decoded) and the file is unchanged since, else decoded now.
    LoadedPicture take(const QString &path, QSize shownSize);
    // True when a prefetch for exactly this request has finished.
    bool isReady(const QString &path, QSize shownSize) const;
    // Drops the prefetched picture (for instance when the list changes).
    void clear();
    // Number of times take() was served from the background (for tests).
    int hits() const { return hits_; }

  private:
    struct Key {
        QString path;
        QSize size;
        QDateTime modified;
        qint64 bytes = -1;
        bool operator==(const Key &o) const
        {
            return path == o.path && size == o.size && modified == o.modified && bytes == o.bytes;
        }
    };
    static Key keyFor(const QString &path, QSize shownSize);

    QThreadPool pool_; // one worker: a newer request replaces a queued older one
    Key key_;
    QFuture<LoadedPicture> future_;
    bool pending_ = false;
    int hits_ = 0;
};

} // namespace vorn
