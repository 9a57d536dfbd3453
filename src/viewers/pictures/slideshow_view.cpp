#include "viewers/pictures/slideshow_view.h"
#include "widgets/drawn_icon.h"

#include "files/active_list.h"
#include "files/app_context.h"
#include "viewers/pictures/picture_geometry.h"
#include "viewers/pictures/slide_host.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/drag_grip.h"
#include "widgets/theme.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace vorn
{

namespace
{

constexpr int kPanelWidth = 200;
constexpr int kTopGap = 5;
constexpr int kRightGap = 205; // the panel's left edge stands this far from the area's right

QIcon repeatIcon()
{
    return drawn_icon(
        [](QPainter &p) {
            p.setPen(QPen(QColor(20, 60, 140), 2));
            p.drawArc(QRectF(2.5, 2.5, 11, 11), 100 * 16, 290 * 16);
            p.setBrush(QColor(20, 60, 140));
            p.setPen(Qt::NoPen);
            p.drawPolygon(QPolygonF({QPointF(5, 0), QPointF(10, 3.5), QPointF(5, 7)}));
        },
        16);
}

// A small picture in a frame: at natural size, centred, or filling the frame.
QIcon styleIcon(ViewStyle style)
{
    return drawn_icon(
        [style](QPainter &p) {
            p.setPen(QColor(60, 60, 60));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            QRectF pic = style == ViewStyle::BestFit  ? QRectF(3, 4, 10, 8)
                         : style == ViewStyle::Center ? QRectF(5, 6, 6, 4)
                                                      : QRectF(3, 4, 6, 4);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(70, 130, 220));
            p.drawRect(pic);
        },
        16);
}

} // namespace

// The active list as the show sees it; selecting with `show` runs the list's click handler.
class SlideshowView::SlideListAdapter : public SlideList
{
  public:
    explicit SlideListAdapter(ActiveList &list) : list_(list) {}
    int count() const override { return list_.count(); }
    int selectedIndex() const override { return list_.selectedIndex(); }
    int focusedIndex() const override { return list_.currentRow(); }
    void select(int index, bool show) override { list_.select(index, show); }
    void deselect() override { list_.deselect(); }

  private:
    ActiveList &list_;
};

SlideshowView::SlideshowView(AppContext &ctx, ActiveList &list, QWidget *picturesPanel, QWidget *parent)
    : QFrame(parent), ctx_(ctx), activeList_(list), picturesPanel_(picturesPanel),
      list_(std::make_unique<SlideListAdapter>(list))
{
    setObjectName(QStringLiteral("pn_diabuts"));
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setAutoFillBackground(true);
    setFixedSize(kPanelWidth, kButtonRowHeight * 3 + 4);
    buildRows();
    hide();

    tm_diashow_ = new QTimer(this);
    tm_diashow_->setObjectName(QStringLiteral("tm_diashow"));
    tm_diashow_->setInterval(show_.intervalMs());
    connect(tm_diashow_, &QTimer::timeout, this, &SlideshowView::tm_diashowTimer);

    connect(&ctx_, &AppContext::languageChanged, this, &SlideshowView::applyStatusText);
    connect(&activeList_, &ActiveList::changed, this, &SlideshowView::updateShowButton);
    show_.enter(ViewStyle::Normal);
    show_.stop();
    applyState();
    setHost(nullptr);
}

SlideshowView::~SlideshowView() = default;

QToolButton *SlideshowView::addButton(QWidget *row, const char *name, const QIcon &icon, bool checkable)
{
    auto *b = new QToolButton(row);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon);
    b->setIconSize(QSize(16, 16));
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setFixedSize(kButtonRowHeight + 3, kButtonRowHeight);
    row->layout()->addWidget(b);
    return b;
}

void SlideshowView::buildRows()
{
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(1);
    const auto newRow = [this, lay] {
        auto *row = new QWidget(this);
        row->setFixedHeight(kButtonRowHeight);
        auto *h = new QHBoxLayout(row);
        h->setContentsMargins(1, 0, 1, 0);
        h->setSpacing(1);
        lay->addWidget(row);
        return row;
    };
    const auto statusField = [](QWidget *row, const char *name) {
        auto *l = new QLabel(row);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setFixedHeight(kButtonRowHeight - 2);
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        l->setContentsMargins(3, 0, 3, 0);
        row->layout()->addWidget(l);
        static_cast<QHBoxLayout *>(row->layout())->setStretchFactor(l, 1);
        return l;
    };
    QStyle *st = style();

    QWidget *top = newRow();
    connect(addButton(top, "bt_startdiashow", st->standardIcon(QStyle::SP_MediaPlay)), &QToolButton::clicked,
            this, &SlideshowView::bt_startdiashowClick);
    connect(addButton(top, "bt_pauseshow", st->standardIcon(QStyle::SP_MediaPause), true),
            &QToolButton::clicked, this, &SlideshowView::bt_pauseshowClick);
    connect(addButton(top, "bt_stopshow", st->standardIcon(QStyle::SP_MediaStop)), &QToolButton::clicked,
            this, &SlideshowView::bt_stopshowClick);
    connect(addButton(top, "bt_repeatshow", repeatIcon(), true), &QToolButton::clicked, this,
            &SlideshowView::bt_repeatshowClick);
    pn_diashowstat_ = statusField(top, "pn_diashowstat");
    pn_diashowstat_->setAutoFillBackground(true);
    QPalette pal = pn_diashowstat_->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, QColor(0, 255, 0));
    pn_diashowstat_->setPalette(pal);
    // The drag grip at the right of the top row moves the whole panel inside the slide area.
    auto *grip = new DragGrip(QStringLiteral("img_movediactrl"), this, top);
    grip->setFixedSize(10, kButtonRowHeight);
    grip->setMover([this](QPoint topLeft) {
        dragged_ = true;
        moveWithin(topLeft);
    });
    top->layout()->addWidget(grip);

    QWidget *mid = newRow();
    connect(addButton(mid, "bt_diatimedown", st->standardIcon(QStyle::SP_ArrowDown)), &QToolButton::clicked,
            this, &SlideshowView::bt_diatimedownClick);
    ed_diatime_ = new QLineEdit(QString::number(show_.seconds()), mid);
    ed_diatime_->setObjectName(QStringLiteral("ed_diatime"));
    ed_diatime_->setValidator(new QIntValidator(kSlideIntervalMin, kSlideIntervalMax, ed_diatime_));
    ed_diatime_->setAlignment(Qt::AlignCenter);
    ed_diatime_->setFixedSize(36, kButtonRowHeight - 2);
    mid->layout()->addWidget(ed_diatime_);
    connect(ed_diatime_, &QLineEdit::editingFinished, this, [this] {
        readSeconds();
        setInterval(show_.intervalMs());
    });
    connect(addButton(mid, "bt_diatimeup", st->standardIcon(QStyle::SP_ArrowUp)), &QToolButton::clicked, this,
            &SlideshowView::bt_diatimeupClick);
    pn_diashowcount_ = statusField(mid, "pn_diashowcount");
    pn_diashowcount_->setAlignment(Qt::AlignCenter);

    QWidget *bottom = newRow();
    navGroup_ = new QButtonGroup(this);
    navGroup_->setExclusive(false);
    const struct {
        const char *name;
        QStyle::StandardPixmap icon;
    } nav[] = {{"bt_diafirst", QStyle::SP_MediaSkipBackward},
               {"bt_diaprev", QStyle::SP_MediaSeekBackward},
               {"bt_dianext", QStyle::SP_MediaSeekForward},
               {"bt_dialast", QStyle::SP_MediaSkipForward}};
    for (int tag = 0; tag < 4; ++tag) {
        QToolButton *b = addButton(bottom, nav[tag].name, st->standardIcon(nav[tag].icon));
        b->setProperty("tag", tag);
        navGroup_->addButton(b, tag);
    }
    connect(navGroup_, &QButtonGroup::idClicked, this, &SlideshowView::bt_diafirstClick);
    static_cast<QHBoxLayout *>(bottom->layout())->addStretch(1);
    styleGroup_ = new QButtonGroup(this);
    styleGroup_->setExclusive(true);
    const struct {
        const char *name;
        ViewStyle style;
    } styles[] = {{"bt_diaviewstyle", ViewStyle::Normal},
                  {"bt_diacenter", ViewStyle::Center},
                  {"bt_diabestfit", ViewStyle::BestFit}};
    for (const auto &s : styles) {
        QToolButton *b = addButton(bottom, s.name, styleIcon(s.style), true);
        b->setProperty("tag", slide_style_tag(s.style));
        styleGroup_->addButton(b, slide_style_tag(s.style));
    }
    connect(styleGroup_, &QButtonGroup::idClicked, this, &SlideshowView::bt_diaviewstyleClick);
}

QToolButton *SlideshowView::button(const char *name) const
{
    return findChild<QToolButton *>(QString::fromLatin1(name));
}

void SlideshowView::setHost(SlideHost *host)
{
    host_ = host;
    if (watchedArea_)
        watchedArea_->removeEventFilter(this);
    watchedArea_ = area();
    if (watchedArea_)
        watchedArea_->installEventFilter(this);
}

void SlideshowView::setShowButton(QAbstractButton *b)
{
    if (showButton_)
        disconnect(showButton_, nullptr, this, nullptr);
    showButton_ = b;
    if (b)
        connect(b, &QAbstractButton::clicked, this, &SlideshowView::bt_diashowClick);
    updateShowButton();
}

void SlideshowView::disableShowButton()
{
    if (showButton_)
        showButton_->setEnabled(false);
}

void SlideshowView::updateShowButton()
{
    if (showButton_)
        showButton_->setEnabled(activeList_.count() > 0);
}

// The state of the buttons and the texts follow the show.
void SlideshowView::applyState()
{
    const SlideControls &c = show_.controls();
    button("bt_startdiashow")->setEnabled(c.startEnabled);
    button("bt_pauseshow")->setEnabled(c.pauseEnabled);
    button("bt_pauseshow")->setChecked(c.pauseDown);
    button("bt_repeatshow")->setChecked(c.repeatDown);
    button("bt_diafirst")->setEnabled(c.firstEnabled);
    button("bt_diaprev")->setEnabled(c.prevEnabled);
    button("bt_dianext")->setEnabled(c.nextEnabled);
    button("bt_dialast")->setEnabled(c.lastEnabled);
    for (QAbstractButton *b : styleGroup_->buttons())
        b->setEnabled(c.stylesEnabled);
    styleGroup_->button(slide_style_tag(show_.style()))->setChecked(true);
    pn_diashowcount_->setText(show_.counterText());
    applyStatusText();
    ctx_.setSlideshowRunning(show_.running());
}

void SlideshowView::applyStatusText()
{
    switch (show_.status()) {
    case SlideStatus::None:
        pn_diashowstat_->clear();
        break;
    case SlideStatus::Running:
        pn_diashowstat_->setText(ctx_.msg(Msg::SlideRunning));
        break;
    case SlideStatus::Paused:
        pn_diashowstat_->setText(ctx_.msg(Msg::SlidePause));
        break;
    case SlideStatus::Done:
        pn_diashowstat_->setText(ctx_.msg(Msg::SlideDone));
        break;
    }
}

void SlideshowView::setBarsVisible(bool on)
{
    emit barsVisibilityRequested(on);
}

QWidget *SlideshowView::area() const
{
    if (host_ && host_->slideArea())
        return host_->slideArea();
    return picturesPanel_;
}

QRect SlideshowView::areaRect() const
{
    QWidget *a = area();
    if (!a || !parentWidget())
        return {};
    if (a == parentWidget())
        return a->rect();
    return QRect(a->mapTo(parentWidget(), QPoint(0, 0)), a->size());
}

void SlideshowView::placeAtStart()
{
    const QRect r = areaRect();
    moveWithin(QPoint(r.left() + r.width() - kRightGap, r.top() + kTopGap));
}

// Keeps the panel inside the slide area (and inside its parent, where the area is bigger).
void SlideshowView::moveWithin(QPoint topLeft)
{
    QRect bounds = areaRect();
    if (parentWidget())
        bounds = bounds.isValid() ? bounds.intersected(parentWidget()->rect()) : parentWidget()->rect();
    const int x = std::max(bounds.left(), std::min(topLeft.x(), bounds.left() + bounds.width() - width()));
    const int y = std::max(bounds.top(), std::min(topLeft.y(), bounds.top() + bounds.height() - height()));
    move(x, y);
}

bool SlideshowView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == watchedArea_ && isVisible() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        // The bars come and go after the panel was placed: follow the area.
        if (dragged_)
            moveWithin(pos());
        else
            placeAtStart();
    }
    return QFrame::eventFilter(watched, event);
}

void SlideshowView::bt_diashowClick()
{
    if (show_.running() || activeList_.count() == 0)
        return;
    if (host_)
        host_->enterSlideMode();
    show_.enter(host_ ? host_->slideStyle() : ViewStyle::Normal);
    setBarsVisible(false);
    dragged_ = false;
    applyState();
    show();
    raise();
    placeAtStart();
}

void SlideshowView::bt_startdiashowClick()
{
    show_.start(*list_);
    applyState();
    setInterval(show_.intervalMs());
    tm_diashow_->start();
}

void SlideshowView::tm_diashowTimer()
{
    // Showing a picture may let events run; a tick that arrives meanwhile is dropped.
    if (inTick_)
        return;
    inTick_ = true;
    const Slideshow::Tick t = show_.tick(*list_);
    inTick_ = false;
    if (t == Slideshow::Tick::Ignored)
        return;
    if (t == Slideshow::Tick::Ended) {
        tm_diashow_->stop();
        applyState();
        bt_stopshowClick();
        return;
    }
    applyState();
}

void SlideshowView::bt_pauseshowClick()
{
    show_.setPaused(button("bt_pauseshow")->isChecked());
    applyState();
}

void SlideshowView::bt_repeatshowClick()
{
    show_.setRepeat(button("bt_repeatshow")->isChecked());
    applyState();
}

void SlideshowView::bt_diafirstClick(int tag)
{
    show_.navigate(*list_, SlideNav(std::clamp(tag, 0, 3)));
    applyState();
}

void SlideshowView::bt_diaviewstyleClick(int tag)
{
    const ViewStyle style = slide_style_for_tag(tag);
    show_.setStyle(style);
    applyState();
    const int row = list_->selectedIndex();
    if (host_ && row >= 0) {
        host_->showSlide(activeList_.path(row), style);
    }
}

void SlideshowView::bt_stopshowClick()
{
    tm_diashow_->stop();
    hide();
    setBarsVisible(true);
    show_.stop();
    applyState();
    activeList_.clearFoundCount();
    if (host_)
        host_->leaveSlideMode();
    list_->deselect();
    list_->select(0, true);
}

// The number in the field, kept within 1 to 360; anything else leaves the interval as it is.
void SlideshowView::readSeconds()
{
    bool ok = false;
    const int n = ed_diatime_->text().trimmed().toInt(&ok);
    if (ok)
        show_.setSeconds(n);
    ed_diatime_->setText(QString::number(show_.seconds()));
}

void SlideshowView::setInterval(int ms)
{
    if (tm_diashow_->interval() != ms)
        tm_diashow_->setInterval(ms);
}

void SlideshowView::bt_diatimeupClick()
{
    readSeconds();
    setInterval(show_.intervalUp());
    ed_diatime_->setText(QString::number(show_.seconds()));
}

void SlideshowView::bt_diatimedownClick()
{
    readSeconds();
    setInterval(show_.intervalDown());
    ed_diatime_->setText(QString::number(show_.seconds()));
}

} // namespace vorn
