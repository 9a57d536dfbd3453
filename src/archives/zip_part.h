// Installs the ZIP view into its panel; its grid becomes a source of the sort buttons.
#pragma once

namespace vorn
{

class SortEngine;
class ViewHost;
class ZipView;

struct ZipPart {
    ZipView *view = nullptr;
};

// sort: the engine of the sort bar, whose buttons copy the selected entries; may be null.
ZipPart install_zip_part(ViewHost &host, SortEngine *sort);

} // namespace vorn
