// The video view inside pn_videomain: the tool bar tbar_video with the load button, eight
// transport buttons (tags 1 to 8, one handler) and the repeat/chain toggles, the progress bar
// pb_time, the area pn_video with the output panel pn_videoout, the zoom row pn_videozoom /
// trb_videosize and the status bar st_video, and the progress timer tm_video. Playback is the
// media engine's; this view drives it, sizes and centres the picture, and locks the rest of the
// window while a video plays (lockRequested): from Play until Stop, the end of the video, a
// failure or another file. The keys of the video act only while the focus is in this view.
#pragma once

#include "files/file_viewer.h"
#include "viewers/video/media_engine.h"

#include <QObject>
#include <QSize>
#include <QTimer>

class QFrame;
class QProgressBar;
class QShortcut;
class QSlider;
class QToolButton;
class QWidget;

namespace vorn
{

class ActiveList;
class AppContext;
class CollapsibleToolBar;
class PanelStatusBar;
class VideoGlWidget;
class VideoPanel;

class VideoView : public QObject, public FileViewer
{
    Q_OBJECT
  public:
    // The transport tags of bt_vplay ... bt_veject.
    enum Tag { Play = 1, Pause, Stop, Next, Previous, Step, Back, Eject };

    VideoView(AppContext &ctx, ActiveList &list, QFrame *pn_videomain, int rowHeight,
              QObject *parent = nullptr);
    ~VideoView() override;

    // FileViewer: remember the routed video (it plays only after bt_loadmovie); let go of it.
    void showFile(const QString &path) override;
    void releaseFile() override;

    MediaEngine &engine() { return mp1_; }
    QString videoFile() const { return videoFile_; }
    QSize baseSize() const { return base_; }
    bool repeatOn() const { return repeat_; }
    bool isPlaying() const { return playing_; }
    bool chainOn() const { return chain_; }
    QToolButton *button(const char *name) const;
    VideoPanel *output() const { return pn_videoout_; }
    // True once the frames are drawn through OpenGL (from the first load on, where the
    // platform offers it); false while the software renderer draws them.
    bool drawsWithOpenGL() const;
    // The OpenGL surface inside pn_videoout, null where software draws.
    VideoGlWidget *glSurface() const { return gl_; }
    QFrame *videoArea() const { return pn_video_; }
    QSlider *trackBar() const { return trb_videosize_; }
    QProgressBar *progressBar() const { return pb_time_; }
    PanelStatusBar *statusBar() const { return st_video_; }
    CollapsibleToolBar *toolBar() const { return tbar_video_; }
    QTimer *timer() { return &tm_video_; }

  public slots:
    void bt_loadmovieClick();
    void bt_vplayClick();
    // The transport by tag, as a click on its button.
    void transport(int tag);
    void mp1Notify(vorn::MediaEngine::Command command, bool successful);
    void tm_videoTimer();
    void trb_videosizeChange(int position);
    void bt_repeatClick();
    void bt_chainClick();
    void pn_videoResize();
    void pn_videozoomResize();
    // Recomputes bt_loadmovie from the selection and the filter.
    void updateLoadButton();

  signals:
    // True when Play starts a video: the lists, the view and mask buttons and the other tool
    // bars are to be locked; false once when it ends for good (Stop, its end without repeat or
    // chain, a failure, another file), which also brings the list side back.
    void lockRequested(bool locked);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void buildToolBar(int rowHeight);
    void buildVideoArea();
    void buildShortcuts();
    QToolButton *addButton(const char *name, const QIcon &icon, int tag, bool checkable);
    void opened(bool ok, const QString &reason);
    void applyZoom();
    void setTransportEnabled(bool on);
    void stopAndClose();
    // The video no longer plays on its own: the lock-out taken at Play is given back.
    void endPlaying();
    void chainToNext();
    void applyLanguage();
    void keyTransport(int tag);
    void setUpOpenGL();
    void dropOpenGL();
    void connectOutput();

    AppContext &ctx_;
    ActiveList &list_;
    QFrame *pn_videomain_;
    MediaEngine mp1_;

    CollapsibleToolBar *tbar_video_ = nullptr;
    QWidget *fup_videobuts_ = nullptr;
    QToolButton *bt_loadmovie_ = nullptr;
    QToolButton *bt_vplay_ = nullptr;
    QToolButton *bt_vpause_ = nullptr;
    QToolButton *bt_vstop_ = nullptr;
    QToolButton *bt_vnext_ = nullptr;
    QToolButton *bt_vprev_ = nullptr;
    QToolButton *bt_vstep_ = nullptr;
    QToolButton *bt_vback_ = nullptr;
    QToolButton *bt_veject_ = nullptr;
    QToolButton *bt_repeat_ = nullptr;
    QToolButton *bt_chain_ = nullptr;
    QProgressBar *pb_time_ = nullptr;
    QFrame *pn_video_ = nullptr;
    QWidget *pictureArea_ = nullptr; // pn_video above the zoom row: clips a large picture
    VideoPanel *pn_videoout_ = nullptr;
    VideoGlWidget *gl_ = nullptr;
    QFrame *pn_videozoom_ = nullptr;
    QSlider *trb_videosize_ = nullptr;
    PanelStatusBar *st_video_ = nullptr;
    QTimer tm_video_;
    QList<QShortcut *> keys_;

    QString videoFile_;
    QSize base_;
    MediaEngine::TimeFormat savedFormat_ = MediaEngine::TimeFormat::Frames;
    bool repeat_ = false;
    bool chain_ = false;
    bool loading_ = false;
    bool playAfterLoad_ = false; // a chained video starts as soon as it is open
    bool playing_ = false;       // between Play and Stop: the window is locked
    bool chaining_ = false;      // the chain routes the next entry: keep the lock
    bool outputChosen_ = false;  // OpenGL or software, decided at the first load
};

} // namespace vorn
