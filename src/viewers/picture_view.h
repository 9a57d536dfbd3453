// The picture view inside pn_viewmain: the tool bar tbar_view, the view area sb_1 with the
// picture controls img_x (still) and img_g (animated), the frame shape, the percentage zoom
// pn_zoom / trb_1 and the status bar stat_view. Owns zoom, best fit, centring, the frame, the
// background tester, GIF speed and the clipboard copy; decodes the next entry of the list in
// the background so that stepping through a folder shows it at once.
#pragma once

#include "files/file_viewer.h"
#include "viewers/picture_loader.h"
#include "viewers/picture_prefetch.h"
#include "viewers/view_style.h"

#include <QObject>
#include <QRect>
#include <QSize>
#include <QTimer>

class QFrame;
class QLineEdit;
class QScrollArea;
class QSlider;
class QToolButton;
class QWidget;

namespace vorn
{

class AppContext;
class CollapsibleToolBar;
class ImageWidget;
class ActiveList;
class MagnifierView;
class PanelStatusBar;

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
    QScrollArea *scrollArea() const { return sb_1_; }
    CollapsibleToolBar *toolBar() const { return tbar_view_; }
    PanelStatusBar *statusBar() const { return stat_view_; }
    QFrame *zoomPanel() const { return pn_zoom_; }
    QSlider *trackBar() const { return trb_1_; }
    QToolButton *button(const char *name) const;
    // bt_diashow: created here, its behaviour belongs to the slideshow.
    QToolButton *diashowButton() const { return bt_diashow_; }
    // bt_gotocatalog: hidden until the catalog connects and shows it.
    QToolButton *gotoCatalogButton() const { return bt_gotocatalog_; }
    MagnifierView *magnifier() const { return magnifier_; }
    ImageWidget *stillImage() const { return img_x_; }
    ImageWidget *animatedImage() const { return img_g_; }

    // The state the tests and the slideshow read.
    QSize naturalSize() const { return natural_; }
    int zoomFactor() const { return factor_; }
    QRect pictureRect() const { return picRect_; }
    bool pictureShown() const { return shown_; }
    bool backgroundActive() const { return bgActive_; }
    int tileCount() const { return tileCount_; }
    QString currentPath() const { return path_; }
    PictureKind currentKind() const { return kind_; }
    // The size the shown still picture was decoded at (smaller than natural under best fit).
    QSize decodedSize() const;
    const PicturePrefetcher &prefetcher() const { return prefetcher_; }

    // The mode of bt_center / bt_bestfit, set without re-showing (the slideshow's styles).
    ViewStyle viewStyle() const;
    void setViewStyle(ViewStyle style);
    // While set, resizing the view does nothing (the slideshow hides and shows the bars).
    void setLayoutSuppressed(bool on) { layoutSuppressed_ = on; }

  public slots:
    // Loads and shows one file in the current style.
    void showPicture(const QString &path);
    void showPicture(const QString &path, vorn::ViewStyle style);
    // Hides and empties both picture controls.
    void clearView();
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

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void buildToolBar(int rowHeight);
    void buildViewArea();
    QToolButton *addButton(const char *name, const QIcon &icon, bool checkable);
    ImageWidget *activeImage() const;
    void applyFactor();
    void placeFrame();
    void fitCanvas();
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

    CollapsibleToolBar *tbar_view_ = nullptr;
    QWidget *fup_view_ = nullptr;
    QToolButton *bt_gotocatalog_ = nullptr;
    QToolButton *bt_diashow_ = nullptr;
    QToolButton *bt_backgr_ = nullptr;
    QToolButton *bt_bestfit_ = nullptr;
    QToolButton *bt_center_ = nullptr;
    QToolButton *bt_shape_ = nullptr;
    QToolButton *bt_zoomout_ = nullptr;
    QToolButton *bt_zoomin_ = nullptr;
    QToolButton *bt_lupe_ = nullptr;
    QToolButton *bt_copytoclpb_ = nullptr;
    QLineEdit *ed_giftime_ = nullptr;
    QToolButton *bt_gifspeedup_ = nullptr;
    QToolButton *bt_gifspeeddown_ = nullptr;
    QScrollArea *sb_1_ = nullptr;
    QWidget *canvas_ = nullptr;
    ImageWidget *img_x_ = nullptr;
    ImageWidget *img_g_ = nullptr;
    QFrame *shape_ = nullptr;
    QFrame *pn_zoom_ = nullptr;
    QSlider *trb_1_ = nullptr;
    PanelStatusBar *stat_view_ = nullptr;
    MagnifierView *magnifier_ = nullptr;

    PicturePrefetcher prefetcher_;
    QTimer refit_; // re-decodes a best-fit picture sharper after the view has grown

    QString path_;
    PictureKind kind_ = PictureKind::Unknown;
    QSize natural_;
    bool animated_ = false;
    bool transparent_ = false;
    int factor_ = 1;
    QRect picRect_;
    bool shown_ = false;
    bool frameOff_ = false;
    bool bgActive_ = false;
    int tileCount_ = 0;
    bool layoutSuppressed_ = false;
    bool inLayout_ = false;
};

} // namespace vorn
