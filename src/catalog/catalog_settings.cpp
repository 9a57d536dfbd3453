#include "catalog/catalog_settings.h"

#include <algorithm>

namespace vorn
{

int thumb_size_for_width(int clientWidth, int cols)
{
    if (cols <= 0)
        return kMinThumbSize;
    return std::max(kMinThumbSize, (clientWidth - kViewMargins - kCellSpacing * cols) / cols);
}

int rows_per_page(int clientHeight, int size)
{
    return std::max(1, clientHeight / (std::max(size, 1) + kCellSpacing));
}

void ThumbSettings::panelResized(int clientWidth)
{
    if (cols_ > 0)
        size_ = thumb_size_for_width(clientWidth, cols_);
}

void ThumbSettings::catalogOpened(int panelWidth)
{
    if (cols_ == 0)
        cols_ =
            std::clamp((panelWidth - kViewMargins) / (size_ + kCellSpacing), kMinThumbCols, kMaxThumbCols);
}

void ThumbSettings::colsUp(int clientWidth)
{
    if (cols_ < kMaxThumbCols)
        ++cols_;
    size_ = thumb_size_for_width(clientWidth, cols_);
    colsDown_ = true;
    colsUp_ = cols_ < kMaxThumbCols;
}

void ThumbSettings::colsDown(int clientWidth)
{
    if (cols_ > kMinThumbCols)
        --cols_;
    size_ = thumb_size_for_width(clientWidth, cols_);
    colsUp_ = true;
    colsDown_ = cols_ > kMinThumbCols;
}

void ThumbSettings::sizeUp(int clientWidth)
{
    const int e = size_ + kCellSpacing;
    const int w = clientWidth - kViewMargins;
    if (e < w / 3)
        size_ += 5;
    if (e * cols_ > w)
        cols_ = w / e;
    // Fewer than three columns do not fit the rule: three, one step smaller.
    if (cols_ < kMinThumbCols) {
        cols_ = kMinThumbCols;
        size_ = std::max(kMinThumbSize, size_ - 5);
    }
    sizeDown_ = true;
    sizeUp_ = e < w / 3;
}

void ThumbSettings::sizeDown()
{
    sizeUp_ = true;
    if (size_ > kMinThumbSize)
        size_ = std::max(kMinThumbSize, size_ - 5);
    sizeDown_ = size_ > kMinThumbSize;
}

} // namespace vorn
