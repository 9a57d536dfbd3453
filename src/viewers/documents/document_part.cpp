#include "viewers/documents/document_part.h"

#include "files/view_host.h"
#include "viewers/documents/help_view.h"
#include "viewers/documents/html_view.h"
#include "viewers/documents/text_view.h"
#include "viewers/video/media_engine.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/theme.h"

namespace vorn
{

DocumentPart install_document_part(ViewHost &host)
{
    AppContext &ctx = host.context();
    DocumentPart part;

    part.text = new TextView(ctx, host.panel(View::Text), kButtonRowHeight);
    host.adopt(View::Text, part.text);
    host.registerViewer(View::Text, part.text);
    host.addLockout(part.text->toolBar());
    // Unsaved edits are asked about before they would be left (both editors when closing).
    TextView *text = part.text;
    host.addLeaveCheck([text](bool closing) { return text->mayLeave(closing); });

    part.html = new HtmlView(ctx, host.panel(View::Html), kButtonRowHeight);
    host.adopt(View::Html, part.html);
    host.registerViewer(View::Html, part.html);
    host.addLockout(part.html->toolBar());
    QObject::connect(part.html, &HtmlView::captionRequested, &host,
                     [&host](const QString &title) { host.setCaption(title); });
    // Sound links play through an audio-only media engine of the HTML view: opening a file
    // stops the one playing before, and playback starts once the file is open.
    auto *sound = new MediaEngine(MediaEngine::Output::AudioOnly, part.html);
    QObject::connect(sound, &MediaEngine::opened, sound, [sound](bool ok, const QString &) {
        if (ok)
            sound->play();
    });
    part.html->setSoundPlayer([sound](const QString &file) {
        sound->close();
        sound->open(file);
    });

    // The help view comes to the front for F1 and the help button; closing it brings back
    // the view that was in front before.
    part.help = new HelpView(ctx, host.panel(View::Help));
    host.adopt(View::Help, part.help);
    QObject::connect(&host, &ViewHost::helpRequested, part.help, &HelpView::showPage);
    HelpView *help = part.help;
    QObject::connect(help, &HelpView::showRequested, &host, [&host] { host.bringToFront(View::Help); });
    QObject::connect(help, &HelpView::closeRequested, &host,
                     [&host, help] { host.bringToFront(help->returnView()); });
    return part;
}

} // namespace vorn
