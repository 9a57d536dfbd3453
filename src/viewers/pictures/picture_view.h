// The picture view inside pn_viewmain: the tool bar tbar_view (picture_toolbar_view), the view
// area sb_1 with the picture controls img_x (still) and img_g (animated), the frame and the
// background tester (picture_viewport_view), the percentage zoom pn_zoom / trb_1 and the status
// bar stat_view. Owns zoom, best fit, centring, the frame, the background tester, GIF speed and
// the clipboard copy. Pictures are decoded off the UI thread; the next entry of the list ahead
// of time, so that stepping through a folder shows it at once.
#pragma once

#include "base/job.h"
#include "codecs/picture_loader.h"
#include "files/file_viewer.h"
#include "viewers/pictures/picture_document.h"
#include "viewers/pictures/picture_prefetch.h"
#include "viewers/view_style.h"

#include <QObject>
#include <QRect>
#include <QSize>
#include <QTimer>

class QFrame;
class QScrollArea;
class QSlider;
class QToolButton;

namespace vorn
{

class AppContext;
class CollapsibleToolBar;
class ImageWidget;
class ActiveList;
class MagnifierView;
class PanelStatusBar;
class PictureToolBar;
class PictureViewport;

class PictureView : public QObject, public FileViewer
{
    Q_OBJECT
  public:
    PictureView(AppContext &ctx, ActiveList &list, QFrame *pn_viewmain, int rowHeight,
                QObject *parent = nullptr);
    ~PictureView() override;

    // FileViewer: Show picture, and Clear view with the pictures let go.
    void showFile(const QString &path) override { showPicture(path); }
    void releaseFile() override;

    // Controls the slideshow and the tests work with.
    QScrollArea *scrollArea() const;
    CollapsibleToolBar *toolBar() const;
    PanelStatusBar *statusBar() const { return stat_view_; }
    QFrame *zoomPanel() const { return pn_zoom_; }
    QSlider *trackBar() const { return trb_1_; }
    QToolButton *button(const char *name) const;
    // bt_diashow: created here, its behaviour belongs to the slideshow.
    QToolButton *diashowButton() const;
    // bt_gotocatalog: hidden until the catalog offers its page; a click then asks for it
    // (catalogRequested).
    void offerCatalog();
    MagnifierView *magnifier() const { return magnifier_; }
    ImageWidget *stillImage() const;
    ImageWidget *animatedImage() const;

    // The state the tests and the slideshow read.
    QSize naturalSize() const { return doc_.natural; }
    int zoomFactor() const { return doc_.factor; }
    QRect pictureRect() const { return doc_.picRect; }
    bool pictureShown() const { return doc_.shown; }
    bool backgroundActive() const { return doc_.backgroundActive; }
    // The background tester's tiles: columns x rows over the view, and where tile n lies.
    int tileCount() const;
    QRect tileRect(int n) const;
    QString currentPath() const { return doc_.path; }
    PictureKind currentKind() const { return doc_.kind; }
    // True while a requested picture is being decoded; it is shown when the decode finishes.
    bool isLoading() const { return prefetcher_.isDecoding(); }
    // The size the shown still picture was decoded at (smaller than natural under best fit).
    QSize decodedSize() const;
    // True while the shown picture is a coarse first look that a sharp decode is to replace.
    bool showsCoarsePicture() const { return doc_.coarse; }
    const PicturePrefetcher &prefetcher() const { return prefetcher_; }

    // The mode of bt_center / bt_bestfit, set without re-showing (the slideshow's styles).
    ViewStyle viewStyle() const;
    void setViewStyle(ViewStyle style);
    // While set, resizing the view does nothing (the slideshow hides and shows the bars).
    void setLayoutSuppressed(bool on) { layoutSuppressed_ = on; }

  public slots:
    // Loads and shows one file in the current style; a newer call supersedes one whose
    // picture is still being decoded.
    void showPicture(const QString &path);
    void showPicture(const QString &path, vorn::ViewStyle style);
    // Hides and empties both picture controls.
    void clearView();
    // Empties the status panels that describe the shown picture (size, zoom, damage note).
    void clearPictureStatus();
    void removeBackground();
    // Applies the mode, shows the picture, places the frame and writes the status texts.
    void layoutPass();
    void centre();
    void bestFit();
    // The list tab changed: trb_1 back to 100.
    void resetTrackBar();
    // The folder or mask changed: factor 1, trb_1 disabled until the next picture.
    void resetZoom();

    void bt_zoominClick();
    void bt_zoomoutClick();
    void trb_1Change(int position);
    void bt_bestfitClick();
    void bt_centerClick();
    void bt_shapeClick();
    void bt_gifspeedupClick();
    void bt_backgrClick();
    void bt_copytoclpbClick();
    void pn_viewResize();

  signals:
    // The view area changed its size (floating panels keep their places).
    void viewResized();
    // bt_gotocatalog was clicked.
    void catalogRequested();

  private:
    void buildZoomAndStatus();
    void connectToolBar();
    // Shows a decoded picture (or the failure of its decode).
    void present(const DecodedPicture &decoded);
    void applyFactor();
    // Remembers a zoom made while the requested picture decodes: a factor click, else the
    // track bar's new position.
    void noteZoomWhileLoading(bool factor, int track = -1);
    void placeFrame();
    void applyModeControls();
    void updateButtons();
    void updateSelectionTexts();
    void reshowCurrent();
    void loadFailed(const QString &path);
    // The size to decode `path` at in the current style (invalid: natural size).
    QSize shownSizeFor(const QString &path) const;
    void prefetchNext();
    void refineFit();
    QImage fullPicture() const;
    void setTrackSilently(int position);

    AppContext &ctx_;
    ActiveList &list_;
    QFrame *pn_viewmain_;

    PictureToolBar *tools_ = nullptr;
    PictureViewport *viewport_ = nullptr;
    QFrame *pn_zoom_ = nullptr;
    QSlider *trb_1_ = nullptr;
    PanelStatusBar *stat_view_ = nullptr;
    MagnifierView *magnifier_ = nullptr;

    PicturePrefetcher prefetcher_;
    QString requested_; // the picture asked for whose decode is on its way
    QTimer refit_;      // re-decodes a fitted picture sharper after the view has grown
    Job refine_;
    Job copy_; // the whole picture for the clipboard when it is shown scaled

    PictureDocument doc_;
    // Zoom set while the requested picture decodes, applied when it arrives: a factor click,
    // or the track bar's position (-1: not moved).
    bool factorWhileLoading_ = false;
    int trackWhileLoading_ = -1;
    bool layoutSuppressed_ = false;
    bool inLayout_ = false;
};

} // namespace vorn
