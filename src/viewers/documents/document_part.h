// Installs the text and hex view, the HTML view and the help view into the window.
#pragma once

namespace vorn
{

class HelpView;
class HtmlView;
class TextView;
class ViewHost;

struct DocumentPart {
    TextView *text = nullptr;
    HtmlView *html = nullptr;
    HelpView *help = nullptr;
};

DocumentPart install_document_part(ViewHost &host);

} // namespace vorn
