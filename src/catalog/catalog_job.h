// Making a catalog: thumbnails are made by a pool of workers (one per core), a few pictures
// ahead of the page writer, while the pages are written in order on this object's thread, so
// the pages are byte for byte those of a one-at-a-time run and only a few pictures are held in
// memory at once. The window stays live: results arrive as events.
//
// Cancel means: the page in hand is closed after the picture in hand and the run ends; the
// catalog holds the pictures done so far. Thumbnails made ahead for later pictures are removed.
#pragma once

#include "catalog/thumbnail.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

class QThreadPool;

namespace vorn
{

struct CatalogRequest {
    QStringList pictures; // full paths, in catalog order
    QString folder;       // the catalog folder: thumbnails and pages go here
    QString title;        // line 2 of every page
    QString background;   // full path of the background picture
    int cellSize = 100;   // S
    int cols = 7;         // C (at least 3 is used)
    int perPage = 28;     // P = C x rows
    int workers = 0;      // 0: one per core
};

struct CatalogRunResult {
    int pictures = 0; // pictures placed on the pages
    int pages = 0;
    bool cancelled = false;
    bool writeFailed = false; // a page could not be written
    QStringList failed;       // pictures that could not be made into thumbnails, in order
};

class CatalogJob : public QObject
{
    Q_OBJECT
  public:
    explicit CatalogJob(QObject *parent = nullptr);
    ~CatalogJob() override; // waits for the workers

    // Starts a run; false (and nothing happens) while one runs or when there is no picture.
    bool start(const CatalogRequest &request);
    bool isRunning() const { return running_; }
    // The run ends after the picture in hand.
    void requestCancel();
    // While held (a question is open) no picture is added to the pages.
    void setHeld(bool held);

  signals:
    // A picture was placed on its page; index counts from 1.
    void pictureAdded(int index, int count, const QString &picture);
    void finished(const vorn::CatalogRunResult &result);

  private:
    void submitAhead();
    void consumeReady();
    void watchNext();
    bool writePage();
    void finish();

    CatalogRequest request_;
    QStringList thumbNames_;
    std::unique_ptr<QThreadPool> pool_;
    std::vector<QFuture<ThumbnailResult>> futures_;
    QFutureWatcher<ThumbnailResult> watcher_;
    std::shared_ptr<std::atomic_bool> stop_;
    std::unique_ptr<class CatalogPageWriter> writer_;
    CatalogRunResult result_;
    int next_ = 0;
    int window_ = 4;
    bool running_ = false;
    bool held_ = false;
    bool cancel_ = false;
};

// Runs a catalog to its end in a local event loop (tools, benchmarks, tests).
CatalogRunResult run_catalog(const CatalogRequest &request);

} // namespace vorn

Q_DECLARE_METATYPE(vorn::CatalogRunResult)
