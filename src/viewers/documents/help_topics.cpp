#include "viewers/documents/help_topics.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace vorn
{

const HelpTopic kHelpTopics[] = {
    {9000, "hlp_betrachter", "_viewer.htm#viewer"},
    {9001, "hlp_zipunzip", "_zip.htm#zip"},
    {9002, "hlp_rename", "_rename.htm#rename"},
    {9003, "hlp_filter", "_main.htm#filter"},
    {9004, "hlp_userdef", "_main.htm#userdef"},
    {9005, "hlp_bilder", "_viewer.htm#bilder"},
    {9006, "hlp_video", "_viewer.htm#video"},
    {9007, "hlp_html", "_viewer.htm#html"},
    {9008, "hlp_zip", "_viewer.htm#zipviewer"},
    {9009, "hlp_text", "_viewer.htm#text"},
    {9010, "hlp_catalog", "_viewer.htm#katalog"},
    {9011, "hlp_diashow", "_viewer.htm#diashow"},
    {9012, "hlp_sort", "_sort.htm#sort"},
    {9013, "hlp_template", "_sort.htm#template"},
    {9014, "hlp_sortconf", "_sort.htm#config"},
    {9015, "hlp_fromlist", "_sort.htm#fromlist"},
    {9016, "hlp_fromzip", "_sort.htm#fromzipfile"},
    {9017, "hlp_intemplate", "_sort.htm#intotemplate"},
    {9018, "hlp_infolder", "_sort.htm#quick"},
    {9019, "hlp_datetime", "_rename.htm#datetime"},
    {9020, "hlp_attribs", "_rename.htm#attrib"},
    {9021, "hlp_scantree", "_main.htm#scan"},
    {9022, "hlp_intro", "_main.htm#intro"},
    {9023, "hlp_overview", "_main.htm#overview"},
    {9024, "hlp_listview", "_main.htm#listview"},
    {9025, "hlp_toolbars", "_main.htm#toolbar"},
    {9027, "hlp_fromcatalog", "_sort.htm#fromcatalog"},
};
const int kHelpTopicCount = int(std::size(kHelpTopics));

namespace
{
const char kResourceDir[] = ":/help";
}

const HelpTopic *help_topic(int tag)
{
    for (const HelpTopic &t : kHelpTopics)
        if (t.tag == tag)
            return &t;
    return nullptr;
}

QString help_start_page(int language)
{
    return language == 0 ? QStringLiteral("d_main.htm") : QStringLiteral("e_main.htm");
}

QString help_topic_page(const HelpTopic &topic, int language)
{
    return QLatin1String(language == 0 ? "d" : "e") + QLatin1String(topic.page);
}

QStringList shipped_help_files()
{
    QStringList names;
    QDirIterator it(QString::fromLatin1(kResourceDir), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        names.append(it.filePath().mid(int(sizeof kResourceDir)));
    }
    names.sort();
    return names;
}

int install_help_pages(const QString &helpDir)
{
    int copied = 0;
    const QDir target(helpDir);
    for (const QString &name : shipped_help_files()) {
        const QString dest = target.filePath(name);
        if (QFileInfo::exists(dest))
            continue;
        QDir().mkpath(QFileInfo(dest).path());
        if (QFile::copy(QString::fromLatin1(kResourceDir) + QLatin1Char('/') + name, dest)) {
            // Resource copies are read-only; the user may edit the pages.
            QFile::setPermissions(dest, QFile::permissions(dest) | QFileDevice::WriteOwner);
            ++copied;
        }
    }
    return copied;
}

} // namespace vorn
