// A row of flat tool buttons inside a collapsible tool bar, as the viewer tool bars use it.
#pragma once

#include <QIcon>

class QToolButton;
class QWidget;

namespace vorn
{

class CollapsibleToolBar;

// Adds a row widget named `name` of the given button height to the bar's content.
QWidget *add_tool_row(CollapsibleToolBar *bar, const QString &name, int rowHeight);
// Adds a flat button that takes no focus (the commands act on the control that has it).
QToolButton *add_tool_button(QWidget *row, const char *name, const QIcon &icon, bool checkable);

} // namespace vorn
