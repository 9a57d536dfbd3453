#include "viewers/pictures/slideshow.h"

#include "viewers/pictures/picture_geometry.h"

#include <algorithm>

namespace vorn
{

ViewStyle slide_style_for_tag(int tag)
{
    switch (tag) {
    case 6:
        return ViewStyle::Center;
    case 7:
        return ViewStyle::BestFit;
    default:
        return ViewStyle::Normal;
    }
}

int slide_style_tag(ViewStyle style)
{
    switch (style) {
    case ViewStyle::Center:
        return 6;
    case ViewStyle::BestFit:
        return 7;
    case ViewStyle::Normal:
        break;
    }
    return 5;
}

void Slideshow::enter(ViewStyle currentStyle)
{
    style_ = currentStyle;
    running_ = false;
    position_ = 0;
    controls_ = SlideControls{};
    // Pausing means nothing before a show runs.
    controls_.pauseEnabled = false;
    status_ = SlideStatus::None;
    counter_.clear();
}

void Slideshow::start(SlideList &list)
{
    controls_.startEnabled = false;
    controls_.pauseEnabled = true;
    running_ = true;
    if (list.selectedIndex() < 0)
        list.select(0, false);
    position_ = list.focusedIndex();
    setCounter(position_ + 1, list.count());
    status_ = SlideStatus::Running;
    controls_.stylesEnabled = true;
}

Slideshow::Tick Slideshow::tick(SlideList &list)
{
    if (!running_ || controls_.pauseDown)
        return Tick::Ignored;
    Tick result = Tick::Stepped;
    const int n = list.count();
    if (list.selectedIndex() < n)
        list.select(position_, true); // past the end this selects nothing
    if (n < position_) {
        // One tick has passed after the last entry.
        if (controls_.repeatDown) {
            position_ = 0;
            list.deselect();
            list.select(0, true);
            result = Tick::Restarted;
        } else {
            position_ = 0;
            running_ = false;
            controls_.pauseEnabled = false;
            controls_.startEnabled = true;
            status_ = SlideStatus::Done;
            return Tick::Ended;
        }
    }
    ++position_;
    setCounter(list.selectedIndex() + 1, n);
    status_ = SlideStatus::Running;
    return result;
}

void Slideshow::setPaused(bool down)
{
    controls_.pauseDown = down;
    if (down) {
        setNavigation(true);
        status_ = SlideStatus::Paused;
    } else {
        controls_.startEnabled = false;
        setNavigation(false);
        status_ = SlideStatus::Running;
    }
}

void Slideshow::navigate(SlideList &list, SlideNav to)
{
    setNavigation(true);
    const int n = list.count();
    switch (to) {
    case SlideNav::First:
        list.select(0, true);
        break;
    case SlideNav::Prev:
        list.select(position_ - 1, true);
        break;
    case SlideNav::Next:
        list.select(position_ + 1, true);
        break;
    case SlideNav::Last:
        list.select(n - 1, true);
        break;
    }
    position_ = list.selectedIndex();
    controls_.firstEnabled = controls_.prevEnabled = position_ > 0;
    controls_.nextEnabled = controls_.lastEnabled = position_ < n - 1;
    setCounter(position_ + 1, n);
}

void Slideshow::stop()
{
    running_ = false;
    controls_.pauseDown = false;
    controls_.repeatDown = false;
    controls_.startEnabled = true;
    controls_.pauseEnabled = false;
    controls_.stylesEnabled = false;
    setNavigation(false);
    status_ = SlideStatus::None;
    counter_.clear();
}

int Slideshow::intervalUp()
{
    seconds_ = next_slide_interval(seconds_, true);
    return intervalMs();
}

int Slideshow::intervalDown()
{
    seconds_ = next_slide_interval(seconds_, false);
    return intervalMs();
}

int Slideshow::setSeconds(int seconds)
{
    seconds_ = std::clamp(seconds, kSlideIntervalMin, kSlideIntervalMax);
    return intervalMs();
}

int Slideshow::intervalMs() const
{
    return slide_interval_ms(seconds_);
}

void Slideshow::setCounter(int number, int count)
{
    counter_ = QString::number(number) + QLatin1Char('/') + QString::number(count);
}

void Slideshow::setNavigation(bool on)
{
    controls_.firstEnabled = controls_.prevEnabled = controls_.nextEnabled = controls_.lastEnabled = on;
}

} // namespace vorn
