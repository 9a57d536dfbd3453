#include "viewers/documents/help_view.h"

#include "files/app_context.h"
#include "viewers/documents/help_topics.h"
#include "viewers/documents/html_links.h"
#include "viewers/documents/html_view.h"
#include "widgets/gradient_button.h"
#include "widgets/html_browser.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

// The order of the buttons from top to bottom, by tag: the program, the viewers, sorting,
// renaming and archives.
constexpr int kButtonOrder[] = {9022, 9023, 9024, 9025, 9003, 9004, 9021, 9000, 9005,
                                9011, 9006, 9007, 9008, 9009, 9010, 9012, 9013, 9014,
                                9015, 9016, 9027, 9017, 9018, 9002, 9019, 9020, 9001};

} // namespace

HelpView::HelpView(AppContext &ctx, QFrame *pn_helpmain, QObject *parent)
    : QObject(parent), ctx_(ctx), pn_helpmain_(pn_helpmain)
{
    auto *row = new QWidget(pn_helpmain_);
    row->setObjectName(QStringLiteral("pn_helpbody"));
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);

    auto *scroll = new QScrollArea(row);
    scroll->setObjectName(QStringLiteral("sb_helptopics"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *column = new QWidget;
    column->setObjectName(QStringLiteral("fup_help"));
    auto *v = new QVBoxLayout(column);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(1);
    auto addButton = [&](const char *name, int tag, const QColor &light, const QColor &shadow) {
        auto *b = new GradientButton(column);
        b->setObjectName(QString::fromLatin1(name));
        b->setProperty("tag", tag);
        b->setColors(light, shadow);
        b->setFixedHeight(21);
        v->addWidget(b);
        return b;
    };
    for (int tag : kButtonOrder) {
        const HelpTopic *t = help_topic(tag);
        auto *b = addButton(t->button, tag, QColor(235, 240, 255), QColor(120, 140, 200));
        connect(b, &QPushButton::clicked, this, &HelpView::hlp_betrachterClick);
    }
    v->addSpacing(8);
    auto *end = addButton("hlp_ende", kHelpEndTag, QColor(255, 235, 225), QColor(200, 120, 100));
    connect(end, &QPushButton::clicked, this, &HelpView::bt_helpexitClick);
    v->addStretch(1);
    scroll->setWidget(column);
    scroll->setFixedWidth(150);
    h->addWidget(scroll);

    htmlhelp_ = new HtmlBrowser(QStringLiteral("htmlhelp"), row);
    h->addWidget(htmlhelp_, 1);
    pn_helpmain_->layout()->addWidget(row);
    connect(htmlhelp_, &HtmlBrowser::hotSpotClick, this, &HelpView::onLink);

    install_help_pages(ctx_.paths().helpDir);
}

QPushButton *HelpView::topicButton(const QString &name) const
{
    return pn_helpmain_->findChild<QPushButton *>(name);
}

void HelpView::showPage(const QString &page)
{
    install_help_pages(ctx_.paths().helpDir); // pages deleted meanwhile come back
    const QString full = QDir::isAbsolutePath(page) ? page : QDir(ctx_.paths().helpDir).filePath(page);
    page_ = full;
    htmlhelp_->setPictureFolder(ctx_.paths().helpDir);
    htmlhelp_->setBaseFolder(QFileInfo(full.section(QLatin1Char('#'), 0, 0)).absolutePath());
    // A missing page leaves an empty view.
    if (!show_page_in(htmlhelp_, full, false))
        htmlhelp_->clear();
    if (ctx_.view() != View::Help)
        returnView_ = ctx_.view();
    emit showRequested();
}

void HelpView::bt_helpClick()
{
    showPage(help_start_page(ctx_.language()));
}

void HelpView::hlp_betrachterClick()
{
    const QObject *b = sender();
    const HelpTopic *t = b ? help_topic(b->property("tag").toInt()) : nullptr;
    if (t)
        showPage(help_topic_page(*t, ctx_.language()));
}

void HelpView::bt_helpexitClick()
{
    emit closeRequested();
}

void HelpView::onLink(const QString &link)
{
    LinkContext lc;
    lc.document = page_.section(QLatin1Char('#'), 0, 0);
    lc.serverRoot = ctx_.paths().helpDir;
    const LinkDecision d = decide_link(link, lc);
    if (open_on_desktop(d) || !d.local)
        return;
    if (QFileInfo(d.target.section(QLatin1Char('#'), 0, 0)).isFile())
        showPage(d.target);
}

} // namespace vorn
