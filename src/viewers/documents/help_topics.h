// The help topics: one button per topic, told apart by its tag, each naming a page of the
// help folder and an anchor in it. German pages start with "d", English ones with "e".
#pragma once

#include <QString>
#include <QStringList>

namespace vorn
{

struct HelpTopic {
    int tag;
    const char *button;
    const char *page; // after the language letter, anchor included: "_viewer.htm#viewer"
};

extern const HelpTopic kHelpTopics[];
extern const int kHelpTopicCount;

inline constexpr int kHelpEndTag = 9026; // hlp_ende: closes the help view

// The topic of a tag; null for tags outside the table.
const HelpTopic *help_topic(int tag);
// "d_main.htm" (language 0) or "e_main.htm".
QString help_start_page(int language);
// The file name with anchor of a topic in a language: "e_viewer.htm#diashow".
QString help_topic_page(const HelpTopic &topic, int language);
// The help pages shipped with the program (file names).
QStringList shipped_help_files();
// Copies the shipped pages and their pictures that are missing in `helpDir` there; pages the
// user has changed are kept. Returns the number copied.
int install_help_pages(const QString &helpDir);

} // namespace vorn
