// Draws the frames of a libmpv player through its OpenGL render API into a framebuffer of an
// OpenGL context the caller owns (a widget's), on the thread of that context. libmpv's request
// for a new frame is handed to the thread of this object, which then asks for a repaint.
#pragma once

#include <QObject>
#include <QSize>
#include <atomic>

struct mpv_handle;
struct mpv_render_context;

namespace vorn
{

class VideoGlRenderer : public QObject
{
    Q_OBJECT
  public:
    // Creates the render context of `mpv` with an OpenGL context current on this thread (before
    // a file is loaded). isValid() tells whether libmpv accepted it.
    explicit VideoGlRenderer(mpv_handle *mpv, QObject *parent = nullptr);
    // Frees the render context: the same OpenGL context must be current.
    ~VideoGlRenderer() override;

    bool isValid() const { return ctx_ != nullptr; }
    // Draws the current frame into framebuffer `fbo` of `size` device pixels, with the context
    // current. Never waits for the frame's display time: the caller is the UI thread. An empty
    // size lets the frame pass without drawing it (nothing shows it now).
    void render(unsigned fbo, const QSize &size);
    // Frames drawn since the start.
    quint64 framesDrawn() const { return drawn_.load(); }

  signals:
    // A new frame wants drawing (emitted on the thread of this object): repaint, then render().
    void updateRequested();

  private:
    static void onUpdate(void *self);
    void update();

    mpv_render_context *ctx_ = nullptr;
    std::atomic<bool> updateQueued_{false};
    std::atomic<quint64> drawn_{0};
};

} // namespace vorn
