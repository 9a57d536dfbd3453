// Puts the captions, hints and column titles of the text table on the controls below a root
// widget, each found by its objectName.
#pragma once

class QWidget;

namespace vorn
{
class Texts;

void apply_control_texts(QWidget *root, const Texts &texts);

} // namespace vorn
