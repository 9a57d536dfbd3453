// The thumbnail size S and column count C of the catalog pages, the rules of their four
// buttons, and the page geometry that follows from the catalog panel's size. No widgets: the
// catalog view passes the panel's client size and shows what comes back.
#pragma once

namespace vorn
{

constexpr int kMinThumbSize = 50; // the lower bound of S, also for a narrow panel
constexpr int kMinThumbCols = 3;
constexpr int kMaxThumbCols = 20;
constexpr int kCellSpacing = 10; // added to S per cell, across and down
constexpr int kViewMargins = 20; // twice the HTML view's margin

class ThumbSettings
{
  public:
    int size() const { return size_; }
    int cols() const { return cols_; }
    // The enabled state each button takes from its last rule (all four also follow the create
    // button, which the view combines with these).
    bool colsUpEnabled() const { return colsUp_; }
    bool colsDownEnabled() const { return colsDown_; }
    bool sizeUpEnabled() const { return sizeUp_; }
    bool sizeDownEnabled() const { return sizeDown_; }

    // pn_catalogResize: S from the client width for the current C.
    void panelResized(int clientWidth);
    // bt_gotocatalogClick: a C of 0 is derived from the width and S.
    void catalogOpened(int panelWidth);
    void colsUp(int clientWidth);
    void colsDown(int clientWidth);
    void sizeUp(int clientWidth);
    void sizeDown();

    void set(int size, int cols)
    {
        size_ = size;
        cols_ = cols;
    }

  private:
    int size_ = 100;
    int cols_ = 7;
    bool colsUp_ = true;
    bool colsDown_ = true;
    bool sizeUp_ = true;
    bool sizeDown_ = true;
};

// ((client width) - 20 - 10 x C) div C, at least kMinThumbSize.
int thumb_size_for_width(int clientWidth, int cols);
// (client height) div (S + 10), at least one row.
int rows_per_page(int clientHeight, int size);

} // namespace vorn
