#include "viewers/pictures/picture_view.h"

#include "base/native_names.h"
#include "codecs/picture_probe.h"
#include "files/active_list.h"
#include "files/app_context.h"
#include "viewers/pictures/magnifier_view.h"
#include "viewers/pictures/picture_geometry.h"
#include "viewers/pictures/picture_toolbar_view.h"
#include "viewers/pictures/picture_viewport_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/image_widget.h"
#include "widgets/panel_status_bar.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMovie>
#include <QScrollArea>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace vorn
{

namespace
{

// A metafile is rendered again at its shown size up to this many pixels.
constexpr qint64 kMaxRenderPixels = qint64(8) << 20;

} // namespace

PictureView::PictureView(AppContext &ctx, ActiveList &list, QFrame *pn_viewmain, int rowHeight,
                         QObject *parent)
    : QObject(parent), ctx_(ctx), list_(list), pn_viewmain_(pn_viewmain)
{
    tools_ = new PictureToolBar(pn_viewmain_, rowHeight, this);
    viewport_ = new PictureViewport(pn_viewmain_, this);
    buildZoomAndStatus();
    connectToolBar();
    magnifier_ = new MagnifierView(tools_->bt_lupe, viewport_->scrollArea()->viewport(), this);
    connect(viewport_, &PictureViewport::resized, this, &PictureView::pn_viewResize);

    connect(&prefetcher_, &PicturePrefetcher::decoded, this, [this](const DecodedPicture &d) {
        if (d.path == requested_)
            present(d);
    });
    // A coarse picture waits for the next one decoded ahead before it is decoded sharp.
    connect(&prefetcher_, &PicturePrefetcher::prefetched, this, [this] {
        if (doc_.coarse && !refit_.isActive())
            refineFit();
    });
    refit_.setSingleShot(true);
    refit_.setInterval(150);
    connect(&refit_, &QTimer::timeout, this, &PictureView::refineFit);
    connect(&refine_, &Job::finished, this, [this] {
        if (refine_.wasCancelled() || !refine_.hasResult())
            return;
        const auto [path, pic] = refine_.result<std::pair<QString, LoadedPicture>>();
        ImageWidget *img = viewport_->still();
        // Only while the same picture is still shown at that size.
        if (pic.ok && path == doc_.path && pic.naturalSize == doc_.natural && doc_.shown && !doc_.animated &&
            !doc_.backgroundActive && pic.image.size() == img->size()) {
            img->setImage(pic.image);
            doc_.coarse = false;
        }
    });

    connect(&copy_, &Job::finished, this, [this] {
        QClipboard *cb = QGuiApplication::clipboard();
        if (cb && !copy_.wasCancelled() && copy_.hasResult() && !copy_.result<QImage>().isNull())
            cb->setImage(copy_.result<QImage>());
    });

    connect(&list_, &ActiveList::changed, this, &PictureView::updateButtons);
    connect(&ctx_, &AppContext::selectionChanged, this, [this] {
        updateButtons();
        updateSelectionTexts();
    });
    connect(&list_, &ActiveList::folderListed, this, &PictureView::resetZoom);
    connect(&ctx_, &AppContext::languageChanged, this, [this] {
        if (doc_.shown)
            stat_view_->setPanelText(2, zoom_status_text(ctx_.texts(), doc_.factor, trb_1_->value()));
    });
    applyModeControls();
}

PictureView::~PictureView() = default;

// ---------------------------------------------------------------------------------------------
// Controls

void PictureView::buildZoomAndStatus()
{
    pn_zoom_ = new QFrame(pn_viewmain_);
    pn_zoom_->setObjectName(QStringLiteral("pn_zoom"));
    pn_zoom_->setFrameShape(QFrame::Panel);
    pn_zoom_->setFrameShadow(QFrame::Raised);
    pn_zoom_->setFixedHeight(30);
    pn_zoom_->setAutoFillBackground(true);
    auto *zl = new QHBoxLayout(pn_zoom_);
    zl->setContentsMargins(6, 1, 6, 1);
    trb_1_ = new QSlider(Qt::Horizontal, pn_zoom_);
    trb_1_->setObjectName(QStringLiteral("trb_1"));
    trb_1_->setRange(0, kTrackMax);
    trb_1_->setTickInterval(10);
    trb_1_->setTickPosition(QSlider::TicksBelow);
    trb_1_->setSingleStep(1);
    trb_1_->setPageStep(10);
    trb_1_->setValue(kTrackDefault);
    zl->addWidget(trb_1_);
    connect(trb_1_, &QSlider::valueChanged, this, &PictureView::trb_1Change);

    stat_view_ = new PanelStatusBar(QStringLiteral("stat_view"), {120, 90, 110, 0, 110}, pn_viewmain_);
    stat_view_->setAutoFillBackground(true);

    auto *lay = static_cast<QVBoxLayout *>(pn_viewmain_->layout());
    lay->addWidget(viewport_->scrollArea(), 1);
    lay->addWidget(pn_zoom_);
    lay->addWidget(stat_view_);
}

void PictureView::connectToolBar()
{
    const PictureToolBar &t = *tools_;
    connect(t.bt_backgr, &QToolButton::clicked, this, &PictureView::bt_backgrClick);
    connect(t.bt_bestfit, &QToolButton::clicked, this, &PictureView::bt_bestfitClick);
    connect(t.bt_center, &QToolButton::clicked, this, &PictureView::bt_centerClick);
    connect(t.bt_shape, &QToolButton::clicked, this, &PictureView::bt_shapeClick);
    connect(t.bt_zoomout, &QToolButton::clicked, this, &PictureView::bt_zoomoutClick);
    connect(t.bt_zoomin, &QToolButton::clicked, this, &PictureView::bt_zoominClick);
    connect(t.bt_copytoclpb, &QToolButton::clicked, this, &PictureView::bt_copytoclpbClick);
    connect(t.bt_gifspeedup, &QToolButton::clicked, this, &PictureView::bt_gifspeedupClick);
    connect(t.bt_gifspeeddown, &QToolButton::clicked, this, &PictureView::bt_gifspeedupClick);
}

QScrollArea *PictureView::scrollArea() const
{
    return viewport_->scrollArea();
}

CollapsibleToolBar *PictureView::toolBar() const
{
    return tools_->bar();
}

QToolButton *PictureView::diashowButton() const
{
    return tools_->bt_diashow;
}

void PictureView::offerCatalog()
{
    connect(tools_->bt_gotocatalog, &QToolButton::clicked, this, &PictureView::catalogRequested,
            Qt::UniqueConnection);
    tools_->bt_gotocatalog->show();
}

ImageWidget *PictureView::stillImage() const
{
    return viewport_->still();
}

ImageWidget *PictureView::animatedImage() const
{
    return viewport_->animation();
}

QToolButton *PictureView::button(const char *name) const
{
    return pn_viewmain_->findChild<QToolButton *>(QString::fromLatin1(name));
}

QSize PictureView::decodedSize() const
{
    return viewport_->still()->currentImage().size();
}

int PictureView::tileCount() const
{
    return viewport_->tiles().count();
}

QRect PictureView::tileRect(int n) const
{
    return viewport_->tiles().tileRect(n);
}

// ---------------------------------------------------------------------------------------------
// Showing

void PictureView::showPicture(const QString &path, vorn::ViewStyle style)
{
    setViewStyle(style);
    showPicture(path);
}

void PictureView::showPicture(const QString &path)
{
    if (path.isEmpty()) {
        ctx_.prompter().info(ctx_.msg(Msg::NoPictureName));
        return;
    }
    const PathInfo info = path_info(path);
    if (!info.exists || info.isDir)
        return;
    requested_ = path;
    if (info.size == 0 || picture_kind(path) == PictureKind::Unknown) {
        prefetcher_.cancelRequest();
        present(DecodedPicture{path, QSize(), {}, {}});
        return;
    }
    // Shown at once when it was decoded ahead; else when its decode finishes.
    if (std::optional<DecodedPicture> ready = prefetcher_.take(path, shownSizeFor(path)))
        present(*ready);
}

void PictureView::present(const DecodedPicture &decoded)
{
    requested_.clear();
    clearView();
    setTrackSilently(kTrackDefault);
    if (!ctx_.slideshowRunning())
        trb_1_->setEnabled(doc_.factor == 1);
    doc_.setFile(decoded.path);
    // A file of a kind that may animate plays when it holds an animation; else it shows still.
    doc_.animated = doc_.animated && !decoded.animation.isEmpty();
    viewport_->still()->setTransparent(doc_.transparent);
    const LoadedPicture &pic = decoded.picture;
    if (!pic.ok || pic.naturalSize.isEmpty()) {
        loadFailed(decoded.path);
        return;
    }
    doc_.natural = pic.naturalSize;
    doc_.coarse = pic.coarse && !doc_.animated;
    // A picture shown although its data is damaged says so.
    stat_view_->setPanelText(4, pic.damaged ? ctx_.msg(Msg::PictureDamaged) : QString());
    if (!doc_.animated) {
        viewport_->still()->setImage(pic.image);
    } else {
        std::unique_ptr<QMovie> movie = make_picture_movie(decoded.animation, doc_.kind);
        if (!movie) {
            loadFailed(decoded.path);
            return;
        }
        viewport_->animation()->setMovie(std::move(movie));
    }
    // A new picture comes at natural size; the factor keeps its value until the next zoom
    // click applies it. A zoom set while it decoded applies now, as if set after it came.
    doc_.picRect = viewport_->placeAt(doc_.animated, doc_.natural);
    const bool factorClicked = std::exchange(factorWhileLoading_, false);
    const int track = std::exchange(trackWhileLoading_, -1);
    if (factorClicked && doc_.factor > 1) {
        applyFactor();
    } else if (track >= 0 && track != kTrackDefault && doc_.factor == 1) {
        setTrackSilently(track);
        ImageWidget *img = viewport_->image(doc_.animated);
        img->resize(percent_size(doc_.natural, track));
        doc_.picRect = img->geometry();
    }
    layoutPass();
    prefetchNext();
}

void PictureView::loadFailed(const QString &path)
{
    clearView();
    clearPictureStatus(); // the size and zoom of the picture before must not stay
    doc_.path.clear();
    doc_.natural = QSize();
    ctx_.prompter().error(load_failure_text(ctx_.texts(), path));
}

QSize PictureView::shownSizeFor(const QString &path) const
{
    // Only under best fit is a picture shown smaller than it is; kinds with a cheaper reduced
    // decode (JPEG's scaled decoding, ...) then decode at the fitted size.
    if (!tools_->bt_bestfit->isChecked() || !picture_kind_info(picture_kind(path)).reduced)
        return QSize();
    const QSize natural = probe_picture_size(path);
    if (!natural.isValid())
        return QSize();
    return best_fit_rect(viewport_->scrollArea()->size(), natural).size();
}

void PictureView::prefetchNext()
{
    const int row = list_.currentRow();
    if (row < 0 || list_.next(row) < 0)
        return;
    const QString next = list_.path(list_.next(row));
    if (picture_kind(next) == PictureKind::Unknown)
        return;
    prefetcher_.prefetch(next, shownSizeFor(next));
}

void PictureView::clearView()
{
    removeBackground();
    refit_.stop();
    refine_.cancel();
    viewport_->clearPictures();
    doc_.shown = false;
}

void PictureView::releaseFile()
{
    requested_.clear();
    prefetcher_.cancelRequest();
    clearView();
    doc_.forget();
    clearPictureStatus();
}

void PictureView::clearPictureStatus()
{
    stat_view_->setPanelText(1, QString());
    stat_view_->setPanelText(2, QString());
    stat_view_->setPanelText(4, QString());
}

// ---------------------------------------------------------------------------------------------
// Layout

void PictureView::layoutPass()
{
    if (inLayout_ || doc_.path.isEmpty())
        return;
    inLayout_ = true;
    viewport_->hideFrame();
    if (tools_->bt_center->isChecked())
        centre();
    if (tools_->bt_bestfit->isChecked())
        bestFit();
    viewport_->showOnly(doc_.animated);
    doc_.shown = true;
    viewport_->fitCanvas(doc_.animated);
    placeFrame();
    stat_view_->setPanelText(1, natural_size_text(doc_.natural));
    stat_view_->setPanelText(2, zoom_status_text(ctx_.texts(), doc_.factor, trb_1_->value()));
    inLayout_ = false;
    if (doc_.wantsSharperDecode(viewport_->still()->size(), decodedSize(), tools_->bt_bestfit->isChecked()))
        refit_.start();
}

void PictureView::centre()
{
    if (doc_.natural.width() < 1 || doc_.natural.height() < 1)
        return;
    doc_.picRect = viewport_->centre(doc_.animated);
}

void PictureView::bestFit()
{
    if (doc_.natural.width() < 1 || doc_.natural.height() < 1)
        return;
    doc_.picRect = viewport_->bestFit(doc_.animated, doc_.natural);
}

void PictureView::applyFactor()
{
    viewport_->hideFrame();
    doc_.picRect = viewport_->placeAt(doc_.animated, factor_size(doc_.natural, doc_.factor));
}

void PictureView::placeFrame()
{
    viewport_->hideFrame();
    if (doc_.frameVisible())
        viewport_->placeFrame(doc_.picRect);
}

void PictureView::refineFit()
{
    if (!doc_.shown || doc_.backgroundActive || doc_.animated || doc_.path.isEmpty())
        return;
    const QSize target = viewport_->still()->size();
    if (target.isEmpty() || (target == decodedSize() && !doc_.coarse) ||
        qint64(target.width()) * target.height() > kMaxRenderPixels)
        return;
    // The next picture decoded ahead comes first (prefetched() calls again).
    if (doc_.coarse && prefetcher_.isPrefetching())
        return;
    refine_.start([path = doc_.path, target](JobToken &t) {
        DecodeRequest request;
        request.shownSize = target;
        request.cancelled = [&t] { return t.cancelled(); };
        return std::pair<QString, LoadedPicture>(path, load_picture(path, request));
    });
}

void PictureView::pn_viewResize()
{
    if (layoutSuppressed_ || inLayout_)
        return;
    if (!ctx_.slideshowRunning()) {
        viewport_->hidePictures();
        if (doc_.backgroundActive)
            viewport_->coverBackground();
        else if (doc_.shown)
            layoutPass();
        else
            viewport_->fitCanvas(doc_.animated);
    }
    emit viewResized();
}

// ---------------------------------------------------------------------------------------------
// Zoom and modes

void PictureView::setTrackSilently(int position)
{
    const QSignalBlocker block(trb_1_);
    trb_1_->setValue(position);
}

void PictureView::bt_zoominClick()
{
    noteZoomWhileLoading(true);
    doc_.factor = zoom_in_factor(doc_.factor);
    // The factor and the percentage do not mix: the status shows one of them.
    setTrackSilently(kTrackDefault);
    trb_1_->setEnabled(doc_.factor == 1);
    applyFactor();
    tools_->bt_zoomout->setEnabled(true);
    tools_->bt_zoomin->setEnabled(zoom_in_enabled(doc_.factor));
    layoutPass();
}

void PictureView::bt_zoomoutClick()
{
    noteZoomWhileLoading(true);
    viewport_->scrollHome();
    doc_.factor = zoom_out_factor(doc_.factor);
    setTrackSilently(kTrackDefault);
    trb_1_->setEnabled(doc_.factor == 1);
    tools_->bt_zoomin->setEnabled(true);
    tools_->bt_zoomout->setEnabled(zoom_out_enabled(doc_.factor));
    applyFactor();
    layoutPass();
}

void PictureView::noteZoomWhileLoading(bool factor, int track)
{
    if (!prefetcher_.isDecoding())
        return;
    factorWhileLoading_ = factor;
    trackWhileLoading_ = factor ? -1 : track;
}

void PictureView::trb_1Change(int position)
{
    noteZoomWhileLoading(false, position);
    if (doc_.path.isEmpty())
        return;
    ImageWidget *img = viewport_->image(doc_.animated);
    img->resize(percent_size(doc_.natural, position));
    doc_.picRect = img->geometry();
    if (position != kTrackDefault)
        layoutPass();
}

void PictureView::resetTrackBar()
{
    if (trb_1_->value() == kTrackDefault)
        return;
    trb_1_->setValue(kTrackDefault);
    layoutPass();
}

void PictureView::resetZoom()
{
    factorWhileLoading_ = false;
    trackWhileLoading_ = -1;
    doc_.factor = 1;
    setTrackSilently(kTrackDefault);
    trb_1_->setEnabled(false);
    prefetcher_.clear();
    applyModeControls();
}

ViewStyle PictureView::viewStyle() const
{
    if (tools_->bt_bestfit->isChecked())
        return ViewStyle::BestFit;
    return tools_->bt_center->isChecked() ? ViewStyle::Center : ViewStyle::Normal;
}

void PictureView::setViewStyle(ViewStyle style)
{
    tools_->bt_center->setChecked(style == ViewStyle::Center);
    tools_->bt_bestfit->setChecked(style == ViewStyle::BestFit);
    applyModeControls();
}

void PictureView::applyModeControls()
{
    const bool centred = tools_->bt_center->isChecked();
    const bool fitted = tools_->bt_bestfit->isChecked();
    const bool bg = doc_.backgroundActive;
    tools_->bt_bestfit->setEnabled(!centred);
    tools_->bt_center->setEnabled(!fitted);
    tools_->bt_zoomin->setEnabled(!fitted && !bg && zoom_in_enabled(doc_.factor));
    tools_->bt_zoomout->setEnabled(!fitted && !bg && zoom_out_enabled(doc_.factor));
    viewport_->setBarsShown(!fitted);
    pn_zoom_->setVisible(!centred && !fitted && !bg && !ctx_.slideshowRunning());
    updateButtons();
}

void PictureView::reshowCurrent()
{
    if (list_.selectedRows().size() == 1)
        list_.activate(); // routes the selected entry again, which shows it in the new mode
    else if (!doc_.path.isEmpty())
        showPicture(doc_.path);
}

void PictureView::bt_centerClick()
{
    removeBackground();
    applyModeControls();
    setTrackSilently(kTrackDefault);
    reshowCurrent();
}

void PictureView::bt_bestfitClick()
{
    removeBackground();
    applyModeControls();
    setTrackSilently(kTrackDefault);
    reshowCurrent();
}

void PictureView::bt_shapeClick()
{
    doc_.frameOff = tools_->bt_shape->isChecked();
    if (doc_.shown)
        layoutPass();
    else
        viewport_->hideFrame();
}

void PictureView::bt_gifspeedupClick()
{
    const auto *b = qobject_cast<const QToolButton *>(sender());
    const bool up = !b || b->property("tag").toInt() != kTagGifSpeedDown;
    ImageWidget *img_g = viewport_->animation();
    const int speed = next_gif_speed(img_g->speed(), up);
    img_g->setSpeed(speed);
    tools_->ed_giftime->setText(QString::number(img_g->speed()));
    tools_->bt_gifspeedup->setEnabled(gif_speed_up_enabled(speed));
    tools_->bt_gifspeeddown->setEnabled(gif_speed_down_enabled(speed));
}

// ---------------------------------------------------------------------------------------------
// Background tester

QImage PictureView::fullPicture() const
{
    if (doc_.animated)
        return viewport_->animation()->currentImage();
    if (decodedSize() == doc_.natural)
        return viewport_->still()->currentImage();
    return load_picture(doc_.path).image; // shown scaled: the picture as it is
}

void PictureView::bt_backgrClick()
{
    if (doc_.backgroundActive) {
        removeBackground();
        if (doc_.shown)
            layoutPass(); // the picture comes back as it was
        return;
    }
    if (doc_.transparent || doc_.path.isEmpty())
        return;
    pn_zoom_->hide();
    // The view takes the room of the zoom panel before it is measured for the tiles.
    if (QLayout *lay = pn_viewmain_->layout())
        lay->activate();
    QMovie *movie = viewport_->animation()->movie();
    if (doc_.animated && movie)
        movie->setPaused(true);
    const QImage tile = fullPicture();
    if (tile.isNull() || tile.width() < 1 || tile.height() < 1) {
        applyModeControls();
        ctx_.prompter().error(ctx_.msg(Msg::CannotAssign));
        return;
    }
    // One painted background repeats the tile over the whole view.
    viewport_->showBackground(tile);
    doc_.backgroundActive = true;
    tools_->bt_zoomin->setEnabled(false);
    tools_->bt_zoomout->setEnabled(false);
}

void PictureView::removeBackground()
{
    if (!doc_.backgroundActive && !viewport_->hasBackground())
        return;
    viewport_->removeBackground();
    doc_.backgroundActive = false;
    QMovie *movie = viewport_->animation()->movie();
    if (doc_.animated && movie)
        movie->setPaused(false);
    applyModeControls();
}

// ---------------------------------------------------------------------------------------------
// Clipboard, list state

void PictureView::bt_copytoclpbClick()
{
    QClipboard *cb = QGuiApplication::clipboard();
    if (!cb)
        return;
    cb->clear();
    copy_.cancel();
    if (doc_.path.isEmpty() || !doc_.shown)
        return;
    // The picture itself: a picture shown scaled is decoded whole, off the UI thread.
    if (doc_.animated || decodedSize() == doc_.natural) {
        const QImage picture = fullPicture();
        if (!picture.isNull())
            cb->setImage(picture);
        return;
    }
    copy_.start([path = doc_.path](JobToken &) { return load_picture(path).image; });
}

void PictureView::updateButtons()
{
    const int selected = int(list_.selectedRows().size());
    tools_->bt_diashow->setEnabled(list_.count() > 0);
    tools_->bt_backgr->setEnabled(selected == 1 && !tools_->bt_center->isChecked() &&
                                  !tools_->bt_bestfit->isChecked());
    tools_->bt_copytoclpb->setEnabled(selected == 1 && ctx_.filter().flags.pictures);
}

void PictureView::updateSelectionTexts()
{
    const Selection &s = ctx_.selection();
    const bool found = s.selected > 0 && path_info(s.exactPath).exists;
    stat_view_->setPanelText(0, found ? s.sizeText : QString());
    stat_view_->setPanelText(3, found && ctx_.listTab() == ListTab::Scan
                                    ? shown_name(QFileInfo(s.exactPath).absolutePath()) + QLatin1Char('/')
                                    : QString());
}

} // namespace vorn
