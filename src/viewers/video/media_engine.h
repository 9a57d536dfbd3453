// A media device on libmpv with the operations of a media-control service: open and close,
// play, pause/resume, stop, seeks, exact frame steps, status queries, a display rectangle with
// its natural-size query, and a completion report for the command given with notify set.
// Events of libmpv arrive on its own threads; they are handed to the thread of this object
// (the UI thread) through a queued call and never wait for it. Nothing here knows a widget:
// the video view, the ZIP preview and the sound links of the HTML view share it.
#pragma once

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <atomic>
#include <future>
#include <memory>
#include <vector>

struct mpv_handle;
struct mpv_event;

namespace vorn
{

class VideoGlRenderer;
class VideoRenderer;

class MediaEngine : public QObject
{
    Q_OBJECT
  public:
    enum class Output { AudioOnly, Video };
    enum class Mode { NotReady, Stopped, Playing, Recording, Seeking, Paused, Open };
    enum class TimeFormat { Milliseconds, Frames };
    // The command whose completion a notification reports.
    enum class Command { None, Play, Pause, Stop, Seek, Step };

    explicit MediaEngine(Output output = Output::Video, QObject *parent = nullptr);
    ~MediaEngine() override;

    // Opens a file; the answer comes through opened(). The device starts stopped at its
    // beginning, in the time format Frames (for a file without video: Milliseconds).
    void open(const QString &file);
    // Above 0 only after a successful open, 0 while nothing is open.
    int deviceId() const { return deviceId_; }
    // Closes the file. A player that has had a file ends with it, with its threads, decoders and
    // frames, on a thread of its own, and the memory goes back to the system; the next open
    // takes the player made ahead for it meanwhile. (The player drawing through OpenGL stays,
    // as its render context needs the OpenGL context.)
    void close();

    // The next command reports its completion through completed().
    void setNotify(bool on) { notify_ = on; }
    bool notify() const { return notify_; }

    void play();
    // Pauses when playing, resumes when paused.
    void pauseResume();
    void stop();
    void rewind();
    // To the end; to the start (a plain file has no tracks).
    void next();
    void previous();
    // Steps `stepSize` frames forward or back, exactly; the device is paused afterwards.
    void step();
    void back();
    void setStepSize(int frames) { stepSize_ = frames < 1 ? 1 : frames; }
    int stepSize() const { return stepSize_; }

    // Status queries in the current time format.
    qint64 length() const;
    qint64 position() const;
    Mode mode() const;
    TimeFormat timeFormat() const { return timeFormat_; }
    void setTimeFormat(TimeFormat f) { timeFormat_ = f; }
    // The frame shown now, counted from 0 (independent of the time format).
    qint64 frameNumber() const { return frame_; }

    // The display rectangle in the service's convention: left, top, then width and height.
    // A width or height of 0 asks for the natural size, which where() then reports. `visible`
    // is the part of the picture the window shows (in the picture's coordinates; null: all of
    // it): the software renderer draws only that part.
    void put(const QRect &rect, const QRect &visible = QRect());
    QRect where() const { return display_; }
    QSize naturalSize() const { return natural_; }
    bool hasVideo() const { return hasVideo_; }

    // The frames drawn in software for the display rectangle (null for Output::AudioOnly and
    // while OpenGL draws).
    VideoRenderer *renderer() const { return glRenderer_ ? nullptr : renderer_.get(); }
    // Draws through OpenGL from now on instead: call with the OpenGL context the frames are
    // to be drawn with current on this thread, while nothing is open (the next open uses it).
    // False when libmpv refuses; the software renderer stays then.
    bool useOpenGL();
    // Back to the software renderer, with the OpenGL context still current (before it goes).
    void useSoftware();
    // The OpenGL renderer, null unless useOpenGL() succeeded.
    VideoGlRenderer *glRenderer() const { return glRenderer_.get(); }
    // Frames drawn since the start by the renderer in use.
    quint64 framesDrawn() const;
    // Frames the player dropped to keep up (decoder and output together) since the open.
    qint64 droppedFrames() const;
    // Reads a libmpv property as text (benchmarks and diagnostics).
    QString property(const char *name) const;

  signals:
    // The answer to open(): ok, or the reason libmpv gave.
    void opened(bool ok, const QString &reason);
    // The command given with notify set has completed; `successful` is false when another
    // command cut it short.
    void completed(vorn::MediaEngine::Command command, bool successful);
    // The position or the mode changed (for progress displays).
    void positionChanged();
    // The open file stopped for good (the player lost it to a read or decoding error):
    // nothing more plays until a file is opened again.
    void failed();

  private:
    // Takes a player when there is none (the one made ahead, else a new one) and sets up its
    // observers and output; false when libmpv refuses.
    bool createPlayer();
    // Makes the next player on a thread of its own, unless one is on the way (the software
    // renderer's players end with their files).
    void makeSpare();
    // Ends the player and everything it holds (threads, decoders, frames), on a thread of its
    // own; the heaps give back what it freed.
    void releasePlayer();
    // Forgets the players that have ended.
    void collectEnded();
    void showPart();
    void drainEvents();
    void handleEvent(const mpv_event &event);
    void handleReply(const mpv_event &event);
    void query(const char *name, int format, uint64_t kind, quint64 generation);
    void finishOpen(bool ok, const QString &reason);
    void command(std::initializer_list<const char *> args);
    void startPlaying();
    void setPaused(bool paused);
    // Reports the pending notification (if any) and registers the next one.
    void supersede();
    void expect(Command c);
    void finish(Command c, bool successful);
    void seekTo(const char *target, const char *kind);
    void issueStep();
    void landStep();
    qint64 frameAt(double seconds) const;

    const Output output_;
    mpv_handle *mpv_ = nullptr;
    bool used_ = false;                     // the player has been given a file since it was set up
    bool lowTrim_ = false;                  // hold_low_trim() taken for the playing software player
    std::future<mpv_handle *> spare_;       // the next player, made ahead
    std::vector<std::future<void>> ending_; // players let go of, ending
    std::unique_ptr<VideoRenderer> renderer_;
    std::unique_ptr<VideoGlRenderer> glRenderer_;
    std::atomic<bool> wakeupQueued_{false};

    int deviceId_ = 0;
    bool opening_ = false;
    qint64 entryId_ = -1; // the playlist entry of the open file
    bool loaded_ = false;
    bool hasVideo_ = false;
    bool notify_ = false;
    Command pending_ = Command::None; // the command whose completion is to be reported
    Mode mode_ = Mode::NotReady;
    TimeFormat timeFormat_ = TimeFormat::Frames;
    int stepSize_ = 1;
    int stepsLeft_ = 0;      // frame steps still to take
    int stepDirection_ = 0;  // +1 forward, -1 back
    qint64 stepTarget_ = -1; // the frame a forward step waits for
    bool seeking_ = false;
    Command finishAs_ = Command::Step; // what a step sequence reports when it lands
    bool eof_ = false;
    double timePos_ = 0;
    double duration_ = 0;
    double fps_ = 0;
    qint64 frame_ = 0;
    qint64 frameCount_ = 0;
    QSize natural_;
    QRect display_;
    QRect part_;            // of the picture, drawn by the software renderer
    quint64 openQuery_ = 0; // the generation of the questions about the file being opened
    quint64 stepQuery_ = 0; // the generation of the question where a step landed
    int pendingWidth_ = 0;
};

} // namespace vorn
