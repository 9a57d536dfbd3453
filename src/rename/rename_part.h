// Installs the rename view into its panel pn_renamemain.
#pragma once

namespace vorn
{

class RenameView;
class ViewHost;

struct RenamePart {
    RenameView *view = nullptr;
};

RenamePart install_rename_part(ViewHost &host);

} // namespace vorn
