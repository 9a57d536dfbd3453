// The OpenGL surface of a video panel: a QOpenGLWidget whose painting is handed to a painter
// function (the player's OpenGL renderer) with the widget's framebuffer and size in device
// pixels. It knows nothing of the player; it tells when its context comes and goes.
#pragma once

#include <QOpenGLWidget>
#include <functional>

namespace vorn
{

class VideoGlWidget : public QOpenGLWidget
{
    Q_OBJECT
  public:
    using Painter = std::function<void(unsigned framebuffer, const QSize &deviceSize)>;

    explicit VideoGlWidget(QWidget *parent = nullptr);
    ~VideoGlWidget() override;

    // True where OpenGL is to draw the video: a window system with OpenGL (X11, Wayland), an
    // OpenGL context that can be made, and a graphics processor behind it (not a rasterizer
    // on the processor). VORN_VIDEO_OUTPUT=opengl takes a rasterizer too, =software never
    // draws through OpenGL. Qt's offscreen platform always gets the software renderer.
    static bool available();

    // The painter draws into the framebuffer of the given size; called with an empty size, it
    // lets a frame pass that nothing shows (see refresh()).
    void setPainter(Painter painter) { painter_ = std::move(painter); }
    // A new frame is there: paints it where it can be seen, else hands it to the painter with
    // an empty size at once, so that whoever waits for the frame to be drawn goes on.
    void refresh();
    // Makes the OpenGL context now, even while the widget is hidden; false when it cannot be.
    bool ensureContext();
    // Frames painted since the start.
    quint64 framesPainted() const { return painted_; }

  signals:
    // The context exists and is current: set up what draws with it.
    void contextReady();
    // The context is about to go and is current: release what draws with it.
    void contextLost();

  protected:
    void initializeGL() override;
    void paintGL() override;

  private:
    Painter painter_;
    quint64 painted_ = 0;
};

} // namespace vorn
