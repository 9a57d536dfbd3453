// The icons of the text, HTML and help tool bars, drawn in code.
#pragma once

#include <QIcon>

namespace vorn
{

// The icon of a tool button by its objectName; a null icon for an unknown name.
QIcon viewer_tool_icon(const char *name);

} // namespace vorn
