// The slideshow's state machine, apart from the widgets: which entry each timer tick shows,
// pause and navigation by hand, repeat, the interval and the view style, and the enabled
// states and texts of the control panel. The list it steps through is reached through
// SlideList, so the rules can be driven tick by tick in tests.
#pragma once

#include "viewers/view_style.h"

#include <QString>

namespace vorn
{

// Style buttons carry tags 5, 6 and 7; navigation buttons 0 (first) to 3 (last).
ViewStyle slide_style_for_tag(int tag);
int slide_style_tag(ViewStyle style);
enum class SlideNav { First = 0, Prev = 1, Next = 2, Last = 3 };

// The entries the show steps through, in the order they are displayed.
class SlideList
{
  public:
    virtual ~SlideList() = default;
    virtual int count() const = 0;
    // The selected entry (the focused one among several), -1 when none is selected.
    virtual int selectedIndex() const = 0;
    // The entry with the keyboard focus, -1 when none.
    virtual int focusedIndex() const = 0;
    // Selects exactly this entry and, with `show`, shows it as a click would. An index
    // outside 0 to count - 1 does nothing.
    virtual void select(int index, bool show) = 0;
    virtual void deselect() = 0;
};

enum class SlideStatus { None, Running, Paused, Done };

// Enabled and pressed states of the control panel's buttons.
struct SlideControls {
    bool startEnabled = true;
    bool pauseEnabled = true;
    bool pauseDown = false;
    bool repeatDown = false;
    bool firstEnabled = false;
    bool prevEnabled = false;
    bool nextEnabled = false;
    bool lastEnabled = false;
    bool stylesEnabled = false;

    bool operator==(const SlideControls &) const = default;
};

class Slideshow
{
  public:
    enum class Tick { Ignored, Stepped, Restarted, Ended };

    static constexpr int kStartSeconds = 3;

    // Slideshow mode entered: nothing runs, no texts, navigation off, the style taken over
    // from the picture view.
    void enter(ViewStyle currentStyle);
    // Start: selects the first entry (without showing it) when none is selected; the first
    // tick shows the focused entry.
    void start(SlideList &list);
    // One interval has passed. The first tick after a start shows the focused entry, each
    // further tick the next one; after the last entry one tick passes without a change, then
    // the show starts again at the first entry (repeat) or ends.
    Tick tick(SlideList &list);
    // Pause pressed (down) or released. While paused, ticks do nothing and the four
    // navigation buttons are on.
    void setPaused(bool down);
    // First, previous, next or last entry, by hand (while paused).
    void navigate(SlideList &list, SlideNav to);
    void setRepeat(bool down) { controls_.repeatDown = down; }
    // Stop: leaves slideshow mode.
    void stop();

    // The interval in seconds, 1 to 360; returns the new timer interval in ms.
    int intervalUp();
    int intervalDown();
    // A number typed into the field, kept within 1 to 360.
    int setSeconds(int seconds);
    int seconds() const { return seconds_; }
    int intervalMs() const;

    void setStyle(ViewStyle s) { style_ = s; }
    ViewStyle style() const { return style_; }

    bool running() const { return running_; }
    bool paused() const { return controls_.pauseDown; }
    bool repeat() const { return controls_.repeatDown; }
    // The index of the entry the next tick shows.
    int position() const { return position_; }
    const SlideControls &controls() const { return controls_; }
    SlideStatus status() const { return status_; }
    // "k/n", or empty outside a show.
    QString counterText() const { return counter_; }

  private:
    void setCounter(int number, int count);
    void setNavigation(bool on);

    bool running_ = false;
    int position_ = 0;
    int seconds_ = kStartSeconds;
    ViewStyle style_ = ViewStyle::Normal;
    SlideStatus status_ = SlideStatus::None;
    QString counter_;
    SlideControls controls_;
};

} // namespace vorn
