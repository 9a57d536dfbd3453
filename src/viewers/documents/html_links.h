// What a click on a link of a shown page does. The rules work on the link text alone:
// local links (no scheme, a drive letter or "file:") are expanded against the shown page and
// sorted by extension; mail and web links go to the desktop; the rest stays with the renderer.
// Nothing linked is ever run as a program.
#pragma once

#include <QString>

namespace vorn
{

enum class LinkAction {
    Renderer,  // the renderer follows `target` (a local file, possibly with "#anchor") itself
    PlaySound, // play `target` as sound
    OpenFile,  // open `target` with the desktop's default application
    OpenUrl,   // hand `target` (a web or mail address as written) to the desktop's browser or mail program
};

struct LinkContext {
    QString document;   // full path of the shown page
    QString serverRoot; // folder for names that start at the root ("/x.htm")
    QString driveRoot;  // mount point holding the shown page, for names with a drive letter
};

struct LinkDecision {
    LinkAction action = LinkAction::Renderer;
    bool local = false;
    QString name;   // local links: the name before the parameters
    QString params; // local links: the text after the first blank (or else the first "?")
    QString target; // the expanded full file name (with "#anchor"), or the link for OpenUrl
    bool handled() const { return action != LinkAction::Renderer; }
};

inline constexpr int kMaxLinkLength = 255;

LinkDecision decide_link(const QString &link, const LinkContext &context);
// The full file name of a local link name, relative to the shown page; "#anchor" kept.
QString expand_link_name(const QString &name, const LinkContext &context);

} // namespace vorn
