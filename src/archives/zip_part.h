// Installs the ZIP view into its panel; its grid becomes a source of the sort buttons.
#pragma once

namespace vorn
{

class SortBarView;
class ViewHost;
class ZipView;

struct ZipPart {
    ZipView *view = nullptr;
};

// sortBar: the sort bar, whose buttons copy the selected entries and whose status bar shows the
// sorting source; may be null.
ZipPart install_zip_part(ViewHost &host, SortBarView *sortBar);

} // namespace vorn
