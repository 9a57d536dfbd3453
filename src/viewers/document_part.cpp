#include "viewers/document_part.h"

#include "files/view_host.h"
#include "viewers/help_view.h"
#include "viewers/html_view.h"
#include "viewers/media_engine.h"
#include "viewers/text_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/theme.h"

#include <QFrame>
#include <QWidget>

namespace vorn
{

DocumentPart install_document_part(ViewHost &host)
{
    AppContext &ctx = host.context();
    DocumentPart part;

    QFrame *textPanel = host.panel(View::Text);
    part.text = new TextView(ctx, textPanel, kButtonRowHeight, textPanel);
    host.registerViewer(View::Text, part.text);
    host.addLockout(part.text->toolBar());

    QFrame *htmlPanel = host.panel(View::Html);
    part.html = new HtmlView(ctx, htmlPanel, kButtonRowHeight, htmlPanel);
    host.registerViewer(View::Html, part.html);
    host.addLockout(part.html->toolBar());
    QWidget *client = host.clientArea();
    QObject::connect(part.html, &HtmlView::captionRequested, client,
                     [client](const QString &title) { client->window()->setWindowTitle(title); });
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
    QFrame *helpPanel = host.panel(View::Help);
    part.help = new HelpView(ctx, helpPanel, helpPanel);
    QObject::connect(&host, &ViewHost::helpRequested, part.help, &HelpView::showPage);
    HelpView *help = part.help;
    QObject::connect(help, &HelpView::showRequested, &host, [&host] { host.bringToFront(View::Help); });
    QObject::connect(help, &HelpView::closeRequested, &host,
                     [&host, help] { host.bringToFront(help->returnView()); });
    return part;
}

} // namespace vorn
