#include "viewers/picture_view.h"

#include "files/active_list.h"
#include "files/app_context.h"
#include "viewers/magnifier_view.h"
#include "viewers/picture_geometry.h"
#include "viewers/picture_probe.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/image_widget.h"
#include "widgets/panel_status_bar.h"
#include "widgets/picture_icons.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMovie>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr int kTagGifSpeedUp = 1100;
constexpr int kTagGifSpeedDown = 1101;
// More tile controls than this would stall the window (a 1 x 1 picture over a large view);
// beyond it each control paints a block of tiles, which looks the same.
constexpr int kMaxTileControls = 1024;
// A metafile is rendered again at its shown size up to this many pixels.
constexpr qint64 kMaxRenderPixels = qint64(8) << 20;
const QColor kNavy(0, 0, 128);

} // namespace

PictureView::PictureView(AppContext &ctx, ActiveList &list, QFrame *pn_viewmain, int rowHeight,
                         QObject *parent)
    : QObject(parent), ctx_(ctx), list_(list), pn_viewmain_(pn_viewmain)
{
    buildToolBar(rowHeight);
    buildViewArea();
    magnifier_ = new MagnifierView(bt_lupe_, sb_1_->viewport(), this);

    refit_.setSingleShot(true);
    refit_.setInterval(150);
    connect(&refit_, &QTimer::timeout, this, &PictureView::refineFit);

    connect(&list_, &ActiveList::changed, this, &PictureView::updateButtons);
    connect(&ctx_, &AppContext::selectionChanged, this, [this] {
        updateButtons();
        updateSelectionTexts();
    });
    connect(&list_, &ActiveList::folderListed, this, &PictureView::resetZoom);
    connect(&ctx_, &AppContext::languageChanged, this, [this] {
        if (shown_)
            stat_view_->setPanelText(2, zoom_status_text(ctx_.texts(), factor_, trb_1_->value()));
    });
    applyModeControls();
}

PictureView::~PictureView() = default;

// ---------------------------------------------------------------------------------------------
// Controls

QToolButton *PictureView::addButton(const char *name, const QIcon &icon, bool checkable)
{
    auto *b = new QToolButton(fup_view_);
    b->setObjectName(QString::fromLatin1(name));
    b->setIcon(icon);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(fup_view_->height() + 1, fup_view_->height() - 2);
    fup_view_->layout()->addWidget(b);
    return b;
}

void PictureView::buildToolBar(int rowHeight)
{
    tbar_view_ =
        new CollapsibleToolBar(QStringLiteral("tbar_view"), QStringLiteral("lb_contextview"), pn_viewmain_);
    fup_view_ = new QWidget(tbar_view_->content());
    fup_view_->setObjectName(QStringLiteral("fup_view"));
    fup_view_->setFixedHeight(rowHeight + 2);
    auto *lay = new QHBoxLayout(fup_view_);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(1);
    tbar_view_->contentLayout()->addWidget(fup_view_);

    bt_gotocatalog_ = addButton("bt_gotocatalog", picture_tool_icon("bt_gotocatalog"), false);
    bt_gotocatalog_->hide(); // the catalog shows it when it takes the button over
    bt_diashow_ = addButton("bt_diashow", picture_tool_icon("bt_diashow"), false);
    bt_backgr_ = addButton("bt_backgr", picture_tool_icon("bt_backgr"), false);
    bt_bestfit_ = addButton("bt_bestfit", picture_tool_icon("bt_bestfit"), true);
    bt_center_ = addButton("bt_center", picture_tool_icon("bt_center"), true);
    bt_shape_ = addButton("bt_shape", picture_tool_icon("bt_shape"), true);
    bt_zoomout_ = addButton("bt_zoomout", picture_tool_icon("bt_zoomout"), false);
    bt_zoomin_ = addButton("bt_zoomin", picture_tool_icon("bt_zoomin"), false);
    bt_lupe_ = addButton("bt_lupe", picture_tool_icon("bt_lupe"), true);
    bt_copytoclpb_ = addButton("bt_copytoclpb", picture_tool_icon("bt_copytoclpb"), false);
    lay->addSpacing(6);

    ed_giftime_ = new QLineEdit(QStringLiteral("100"), fup_view_);
    ed_giftime_->setObjectName(QStringLiteral("ed_giftime"));
    ed_giftime_->setReadOnly(true);
    ed_giftime_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ed_giftime_->setFixedSize(36, rowHeight - 2);
    ed_giftime_->setFocusPolicy(Qt::NoFocus);
    lay->addWidget(ed_giftime_);
    auto arrow = [&](const char *name, Qt::ArrowType type, int tag) {
        auto *b = new QToolButton(fup_view_);
        b->setObjectName(QString::fromLatin1(name));
        b->setArrowType(type);
        b->setProperty("tag", tag);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(16, rowHeight - 2);
        lay->addWidget(b);
        connect(b, &QToolButton::clicked, this, &PictureView::bt_gifspeedupClick);
        return b;
    };
    bt_gifspeedup_ = arrow("bt_gifspeedup", Qt::UpArrow, kTagGifSpeedUp);
    bt_gifspeeddown_ = arrow("bt_gifspeeddown", Qt::DownArrow, kTagGifSpeedDown);
    lay->addStretch(1);

    connect(bt_backgr_, &QToolButton::clicked, this, &PictureView::bt_backgrClick);
    connect(bt_bestfit_, &QToolButton::clicked, this, &PictureView::bt_bestfitClick);
    connect(bt_center_, &QToolButton::clicked, this, &PictureView::bt_centerClick);
    connect(bt_shape_, &QToolButton::clicked, this, &PictureView::bt_shapeClick);
    connect(bt_zoomout_, &QToolButton::clicked, this, &PictureView::bt_zoomoutClick);
    connect(bt_zoomin_, &QToolButton::clicked, this, &PictureView::bt_zoominClick);
    connect(bt_copytoclpb_, &QToolButton::clicked, this, &PictureView::bt_copytoclpbClick);
    pn_viewmain_->layout()->addWidget(tbar_view_);
}

void PictureView::buildViewArea()
{
    sb_1_ = new QScrollArea(pn_viewmain_);
    sb_1_->setObjectName(QStringLiteral("sb_1"));
    sb_1_->setFrameShape(QFrame::NoFrame);
    sb_1_->setWidgetResizable(false);
    QPalette pal = sb_1_->palette();
    pal.setColor(QPalette::Window, kNavy);
    sb_1_->setPalette(pal);
    sb_1_->viewport()->setBackgroundRole(QPalette::Window);
    sb_1_->viewport()->setAutoFillBackground(true);
    canvas_ = new QWidget;
    canvas_->setObjectName(QStringLiteral("sb_1_canvas"));
    sb_1_->setWidget(canvas_);
    canvas_->setAutoFillBackground(false); // the view's navy or texture shows around the picture

    img_x_ = new ImageWidget(QStringLiteral("img_x"), canvas_);
    img_g_ = new ImageWidget(QStringLiteral("img_g"), canvas_);
    img_x_->hide();
    img_g_->hide();
    shape_ = new QFrame(canvas_);
    shape_->setObjectName(QStringLiteral("shape"));
    shape_->setFrameShape(QFrame::Panel);
    shape_->setFrameShadow(QFrame::Raised);
    shape_->setLineWidth(2);
    shape_->setAttribute(Qt::WA_TransparentForMouseEvents);
    shape_->hide();
    sb_1_->installEventFilter(this);

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
    lay->addWidget(sb_1_, 1);
    lay->addWidget(pn_zoom_);
    lay->addWidget(stat_view_);
}

QToolButton *PictureView::button(const char *name) const
{
    return pn_viewmain_->findChild<QToolButton *>(QString::fromLatin1(name));
}

ImageWidget *PictureView::activeImage() const
{
    return animated_ ? img_g_ : img_x_;
}

QSize PictureView::decodedSize() const
{
    return img_x_->currentImage().size();
}

bool PictureView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == sb_1_ && event->type() == QEvent::Resize)
        pn_viewResize();
    return QObject::eventFilter(watched, event);
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
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return;
    clearView();
    setTrackSilently(kTrackDefault);
    if (!ctx_.slideshowRunning())
        trb_1_->setEnabled(factor_ == 1);
    kind_ = picture_kind(path);
    animated_ = is_animated_kind(kind_);
    transparent_ = is_transparent_kind(kind_);
    img_x_->setTransparent(transparent_);
    path_ = path;
    if (info.size() == 0 || kind_ == PictureKind::Unknown) {
        loadFailed(path);
        return;
    }
    if (!animated_) {
        const LoadedPicture pic = prefetcher_.take(path, shownSizeFor(path));
        if (!pic.ok || pic.naturalSize.isEmpty()) {
            loadFailed(path);
            return;
        }
        natural_ = pic.naturalSize;
        img_x_->setImage(pic.image);
        img_x_->setGeometry(QRect(QPoint(0, 0), natural_));
    } else {
        // Every frame is checked first, so that a damaged animation is a failed load.
        const LoadedPicture first = load_picture(path);
        std::unique_ptr<QMovie> movie = first.ok ? make_gif_movie(path) : nullptr;
        if (!movie || first.naturalSize.isEmpty()) {
            loadFailed(path);
            return;
        }
        natural_ = first.naturalSize;
        img_g_->setMovie(std::move(movie));
        img_g_->setGeometry(QRect(QPoint(0, 0), natural_));
    }
    // A new picture comes at natural size; the factor keeps its value until the next zoom
    // click applies it.
    picRect_ = QRect(QPoint(0, 0), natural_);
    layoutPass();
    prefetchNext();
}

void PictureView::loadFailed(const QString &path)
{
    clearView();
    path_.clear();
    natural_ = QSize();
    ctx_.prompter().error(load_failure_text(ctx_.texts(), path));
}

QSize PictureView::shownSizeFor(const QString &path) const
{
    // Only under best fit is a picture shown smaller than it is; JPEG then decodes scaled.
    if (!bt_bestfit_->isChecked() || picture_kind(path) != PictureKind::Jpeg)
        return QSize();
    const QSize natural = probe_picture_size(path);
    if (!natural.isValid())
        return QSize();
    return best_fit_rect(sb_1_->size(), natural).size();
}

void PictureView::prefetchNext()
{
    const int row = list_.currentRow();
    if (row < 0 || list_.next(row) < 0)
        return;
    const QString next = list_.path(list_.next(row));
    const PictureKind k = picture_kind(next);
    if (k == PictureKind::Unknown || is_animated_kind(k))
        return;
    prefetcher_.prefetch(next, shownSizeFor(next));
}

void PictureView::clearView()
{
    removeBackground();
    refit_.stop();
    shape_->hide();
    for (ImageWidget *img : {img_x_, img_g_}) {
        img->hide();
        img->resize(0, 0);
        img->clear();
    }
    shown_ = false;
}

void PictureView::releaseFile()
{
    clearView();
    path_.clear();
    natural_ = QSize();
    kind_ = PictureKind::Unknown;
    animated_ = transparent_ = false;
    stat_view_->setPanelText(1, QString());
    stat_view_->setPanelText(2, QString());
}

// ---------------------------------------------------------------------------------------------
// Layout

void PictureView::layoutPass()
{
    if (inLayout_ || path_.isEmpty())
        return;
    inLayout_ = true;
    shape_->hide();
    if (bt_center_->isChecked())
        centre();
    if (bt_bestfit_->isChecked())
        bestFit();
    (animated_ ? img_x_ : img_g_)->hide();
    activeImage()->show();
    shown_ = true;
    fitCanvas();
    placeFrame();
    stat_view_->setPanelText(1, natural_size_text(natural_));
    stat_view_->setPanelText(2, zoom_status_text(ctx_.texts(), factor_, trb_1_->value()));
    inLayout_ = false;
    if (!animated_ && img_x_->size() != decodedSize() && !img_x_->size().isEmpty() &&
        (kind_ == PictureKind::Wmf || (kind_ == PictureKind::Jpeg && bt_bestfit_->isChecked())))
        refit_.start();
}

void PictureView::centre()
{
    if (natural_.width() < 1 || natural_.height() < 1)
        return;
    // The picture at its current size, so a zoomed picture is centred as it is shown.
    // Measured on the client area of the emptied view, which has no scroll bars: the
    // previous picture's bars must not move this one.
    ImageWidget *img = activeImage();
    const QPoint offset = centre_offset(sb_1_->maximumViewportSize(), img->size());
    img->move(offset);
    picRect_ = QRect(offset, img->size());
}

void PictureView::bestFit()
{
    if (natural_.width() < 1 || natural_.height() < 1)
        return;
    // The view's outer size: under best fit it shows no scroll bars.
    const QRect r = best_fit_rect(sb_1_->size(), natural_);
    activeImage()->setGeometry(r);
    picRect_ = r;
}

void PictureView::applyFactor()
{
    shape_->hide();
    const QRect r(QPoint(0, 0), factor_size(natural_, factor_));
    activeImage()->setGeometry(r);
    picRect_ = r;
}

void PictureView::fitCanvas()
{
    // The scrolled area reaches as far as the picture; at least the visible area. Measured
    // from the view's own size: while it is being resized its viewport still has the old one.
    QSize extent(0, 0);
    const ImageWidget *img = activeImage();
    if (img->isVisibleTo(canvas_))
        extent = QSize(std::max(0, img->geometry().right() + 1), std::max(0, img->geometry().bottom() + 1));
    const QSize bars(sb_1_->verticalScrollBar()->sizeHint().width(),
                     sb_1_->horizontalScrollBar()->sizeHint().height());
    canvas_->resize(canvas_size(sb_1_->maximumViewportSize(), extent, bars));
}

void PictureView::placeFrame()
{
    shape_->hide();
    if (bgActive_ || frameOff_ || !shown_)
        return;
    shape_->setGeometry(picRect_);
    shape_->show();
    shape_->raise();
}

void PictureView::refineFit()
{
    if (!shown_ || bgActive_ || animated_ || path_.isEmpty())
        return;
    const QSize target = img_x_->size();
    if (target.isEmpty() || target == decodedSize() ||
        qint64(target.width()) * target.height() > kMaxRenderPixels)
        return;
    const LoadedPicture pic = load_picture(path_, target);
    if (pic.ok && pic.naturalSize == natural_ && !pic.image.isNull())
        img_x_->setImage(pic.image);
}

void PictureView::pn_viewResize()
{
    if (layoutSuppressed_ || inLayout_)
        return;
    if (!ctx_.slideshowRunning()) {
        img_x_->hide();
        img_g_->hide();
        shape_->hide();
        if (!bgActive_ && shown_)
            layoutPass();
        else
            fitCanvas();
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
    factor_ = zoom_in_factor(factor_);
    // The factor and the percentage do not mix: the status shows one of them.
    setTrackSilently(kTrackDefault);
    trb_1_->setEnabled(factor_ == 1);
    applyFactor();
    bt_zoomout_->setEnabled(true);
    bt_zoomin_->setEnabled(zoom_in_enabled(factor_));
    layoutPass();
}

void PictureView::bt_zoomoutClick()
{
    sb_1_->horizontalScrollBar()->setValue(0);
    sb_1_->verticalScrollBar()->setValue(0);
    factor_ = zoom_out_factor(factor_);
    setTrackSilently(kTrackDefault);
    trb_1_->setEnabled(factor_ == 1);
    bt_zoomin_->setEnabled(true);
    bt_zoomout_->setEnabled(zoom_out_enabled(factor_));
    applyFactor();
    layoutPass();
}

void PictureView::trb_1Change(int position)
{
    if (path_.isEmpty())
        return;
    ImageWidget *img = activeImage();
    img->resize(percent_size(natural_, position));
    picRect_ = img->geometry();
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
    factor_ = 1;
    setTrackSilently(kTrackDefault);
    trb_1_->setEnabled(false);
    prefetcher_.clear();
    applyModeControls();
}

ViewStyle PictureView::viewStyle() const
{
    if (bt_bestfit_->isChecked())
        return ViewStyle::BestFit;
    return bt_center_->isChecked() ? ViewStyle::Center : ViewStyle::Normal;
}

void PictureView::setViewStyle(ViewStyle style)
{
    bt_center_->setChecked(style == ViewStyle::Center);
    bt_bestfit_->setChecked(style == ViewStyle::BestFit);
    applyModeControls();
}

void PictureView::applyModeControls()
{
    const bool centred = bt_center_->isChecked();
    const bool fitted = bt_bestfit_->isChecked();
    bt_bestfit_->setEnabled(!centred);
    bt_center_->setEnabled(!fitted);
    bt_zoomin_->setEnabled(!fitted && !bgActive_ && zoom_in_enabled(factor_));
    bt_zoomout_->setEnabled(!fitted && !bgActive_ && zoom_out_enabled(factor_));
    const Qt::ScrollBarPolicy bars = fitted ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    sb_1_->setHorizontalScrollBarPolicy(bars);
    sb_1_->setVerticalScrollBarPolicy(bars);
    pn_zoom_->setVisible(!centred && !fitted && !bgActive_ && !ctx_.slideshowRunning());
    updateButtons();
}

void PictureView::reshowCurrent()
{
    if (list_.selectedRows().size() == 1)
        list_.activate(); // routes the selected entry again, which shows it in the new mode
    else if (!path_.isEmpty())
        showPicture(path_);
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
    frameOff_ = bt_shape_->isChecked();
    if (shown_)
        layoutPass();
    else
        shape_->hide();
}

void PictureView::bt_gifspeedupClick()
{
    const auto *b = qobject_cast<const QToolButton *>(sender());
    const bool up = !b || b->property("tag").toInt() != kTagGifSpeedDown;
    const int speed = next_gif_speed(img_g_->speed(), up);
    img_g_->setSpeed(speed);
    ed_giftime_->setText(QString::number(img_g_->speed()));
    bt_gifspeedup_->setEnabled(gif_speed_up_enabled(speed));
    bt_gifspeeddown_->setEnabled(gif_speed_down_enabled(speed));
}

// ---------------------------------------------------------------------------------------------
// Background tester

QImage PictureView::fullPicture() const
{
    if (animated_)
        return img_g_->currentImage();
    if (decodedSize() == natural_)
        return img_x_->currentImage();
    return load_picture(path_).image; // shown scaled: the picture as it is
}

void PictureView::bt_backgrClick()
{
    if (bgActive_) {
        removeBackground();
        if (shown_)
            layoutPass(); // the picture comes back as it was
        return;
    }
    if (transparent_ || path_.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    pn_zoom_->hide();
    // The view takes the room of the zoom panel before it is measured for the tiles.
    if (QLayout *lay = pn_viewmain_->layout())
        lay->activate();
    if (animated_ && img_g_->movie())
        img_g_->movie()->setPaused(true);
    const QImage tile = fullPicture();
    if (tile.isNull() || tile.width() < 1 || tile.height() < 1) {
        QApplication::restoreOverrideCursor();
        applyModeControls();
        ctx_.prompter().error(ctx_.msg(Msg::CannotAssign));
        return;
    }
    const int tw = tile.width();
    const int th = tile.height();
    const int columns = sb_1_->width() / tw + 1;
    const int rows = sb_1_->height() / th + 1;
    int block = 1;
    while (qint64((columns + block - 1) / block) * ((rows + block - 1) / block) > kMaxTileControls)
        ++block;
    img_x_->hide();
    img_g_->hide();
    shape_->hide();
    sb_1_->horizontalScrollBar()->setValue(0);
    sb_1_->verticalScrollBar()->setValue(0);
    canvas_->resize(sb_1_->viewport()->size());
    int n = 0;
    for (int r = 0; r < rows; r += block) {
        for (int c = 0; c < columns; c += block) {
            const QString name = QStringLiteral("bgd_") + QString::number(n++);
            if (canvas_->findChild<QWidget *>(name, Qt::FindDirectChildrenOnly))
                continue;
            auto *t = new ImageWidget(name, canvas_);
            t->setTiled(true);
            t->setImage(tile);
            t->setGeometry(c * tw, r * th, tw * std::min(block, columns - c), th * std::min(block, rows - r));
            t->show();
        }
    }
    tileCount_ = n;
    bgActive_ = true;
    bt_zoomin_->setEnabled(false);
    bt_zoomout_->setEnabled(false);
    QApplication::restoreOverrideCursor();
}

void PictureView::removeBackground()
{
    if (tileCount_ <= 0 && !bgActive_)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto children = canvas_->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *w : children)
        if (w->objectName().startsWith(QLatin1String("bgd_")))
            delete w;
    tileCount_ = 0;
    bgActive_ = false;
    if (animated_ && img_g_->movie())
        img_g_->movie()->setPaused(false);
    applyModeControls();
    QApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------------------------------------
// Clipboard, list state

void PictureView::bt_copytoclpbClick()
{
    QClipboard *cb = QGuiApplication::clipboard();
    if (!cb)
        return;
    cb->clear();
    if (path_.isEmpty() || !shown_)
        return;
    const QImage picture = fullPicture();
    if (!picture.isNull())
        cb->setImage(picture);
}

void PictureView::updateButtons()
{
    const int selected = int(list_.selectedRows().size());
    bt_diashow_->setEnabled(list_.count() > 0);
    bt_backgr_->setEnabled(selected == 1 && !bt_center_->isChecked() && !bt_bestfit_->isChecked());
    bt_copytoclpb_->setEnabled(selected == 1 && ctx_.filter().flags.pictures);
}

void PictureView::updateSelectionTexts()
{
    const Selection &s = ctx_.selection();
    const bool found = s.selected > 0 && QFileInfo::exists(s.exactPath);
    stat_view_->setPanelText(0, found ? s.sizeText : QString());
    stat_view_->setPanelText(3, found && ctx_.listTab() == ListTab::Scan
                                    ? QFileInfo(s.exactPath).absolutePath() + QLatin1Char('/')
                                    : QString());
}

} // namespace vorn
