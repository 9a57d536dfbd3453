// Draws the frames of a libmpv player through its software render API on a thread of its
// own, at the size of the display rectangle, and hands the newest frame to the thread of this
// object. Works on every platform Qt runs on, including offscreen, since no window system
// surface is involved. It outlives the players it draws for: each player is attached while it
// exists and detached before it goes.
#pragma once

#include <QImage>
#include <QMutex>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QThread>
#include <atomic>

struct mpv_handle;
struct mpv_render_context;

namespace vorn
{

class VideoRenderer : public QObject
{
    Q_OBJECT
  public:
    explicit VideoRenderer(QObject *parent = nullptr);
    // Frees the render context (if still attached); must run before its player is destroyed.
    ~VideoRenderer() override;

    // Creates the render context of `mpv` (before any file is loaded). False when libmpv
    // refuses; nothing is attached then.
    bool attach(mpv_handle *mpv);
    // Stops drawing for the attached player and hands its render context over: the caller
    // frees it (mpv_render_context_free, on any thread) before destroying the player. The
    // frames are let go of.
    mpv_render_context *detach();
    bool isValid() const { return ctx_ != nullptr; }
    // The size frames are drawn at; a change draws the current frame again.
    void setTargetSize(const QSize &size) { setTarget(QRect(QPoint(0, 0), size)); }
    // The part of the picture frames are drawn for: its size is the frames' size, its place
    // (in the picture) goes with each frame. The player is to show just that part.
    void setTarget(const QRect &part);
    // The newest frame drawn (null before the first), and the part of the picture it shows.
    QImage frame(QRect *part = nullptr) const;
    // Lets go of every frame buffer (nothing is open any more); drawing starts again with the
    // next target size.
    void releaseFrames();
    // Frames drawn since the start.
    quint64 framesDrawn() const { return drawn_.load(); }

  signals:
    // A new frame is ready: read it with frame(). Emitted on the thread of this object.
    void frameReady();

  private:
    static void onUpdate(void *self);
    void requestRender(bool force);
    void render();
    void publish();
    QImage &buffer(const QSize &size);

    mpv_render_context *ctx_ = nullptr; // written on this object's thread under renderLock_
    QMutex renderLock_;                 // held while the render thread draws
    QThread thread_;
    QObject *worker_ = nullptr; // lives on thread_, runs render()
    std::atomic<bool> renderQueued_{false};
    std::atomic<bool> force_{false};
    std::atomic<bool> publishQueued_{false};
    std::atomic<quint64> drawn_{0};
    mutable QMutex mutex_;
    QRect target_;
    QImage latest_;
    QRect latestPart_;
    // Under renderLock_: the newest frame, the one painted, the next.
    QImage buffers_[3];
    QImage spare_;
};

} // namespace vorn
