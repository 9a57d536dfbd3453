// The icons of the picture tool bar, drawn in code.
#pragma once

#include <QIcon>

namespace vorn
{

// The icon of a picture tool button by its objectName; a null icon for an unknown name.
QIcon picture_tool_icon(const char *name);

} // namespace vorn
