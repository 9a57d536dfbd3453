#include "viewers/pictures/picture_toolbar_view.h"

#include "widgets/collapsible_toolbar.h"
#include "widgets/picture_icons.h"
#include "widgets/tool_row.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace vorn
{

PictureToolBar::PictureToolBar(QWidget *pn_viewmain, int rowHeight, QObject *parent) : QObject(parent)
{
    tbar_view_ =
        new CollapsibleToolBar(QStringLiteral("tbar_view"), QStringLiteral("lb_contextview"), pn_viewmain);
    fup_view_ = add_tool_row(tbar_view_, QStringLiteral("fup_view"), rowHeight);
    auto *lay = static_cast<QHBoxLayout *>(fup_view_->layout());

    bt_gotocatalog = add_tool_button(fup_view_, "bt_gotocatalog", picture_tool_icon("bt_gotocatalog"), false);
    bt_gotocatalog->hide(); // the catalog shows it when it takes the button over
    bt_diashow = add_tool_button(fup_view_, "bt_diashow", picture_tool_icon("bt_diashow"), false);
    bt_backgr = add_tool_button(fup_view_, "bt_backgr", picture_tool_icon("bt_backgr"), false);
    bt_bestfit = add_tool_button(fup_view_, "bt_bestfit", picture_tool_icon("bt_bestfit"), true);
    bt_center = add_tool_button(fup_view_, "bt_center", picture_tool_icon("bt_center"), true);
    bt_shape = add_tool_button(fup_view_, "bt_shape", picture_tool_icon("bt_shape"), true);
    bt_zoomout = add_tool_button(fup_view_, "bt_zoomout", picture_tool_icon("bt_zoomout"), false);
    bt_zoomin = add_tool_button(fup_view_, "bt_zoomin", picture_tool_icon("bt_zoomin"), false);
    bt_lupe = add_tool_button(fup_view_, "bt_lupe", picture_tool_icon("bt_lupe"), true);
    bt_copytoclpb = add_tool_button(fup_view_, "bt_copytoclpb", picture_tool_icon("bt_copytoclpb"), false);
    lay->addSpacing(6);

    ed_giftime = new QLineEdit(QStringLiteral("100"), fup_view_);
    ed_giftime->setObjectName(QStringLiteral("ed_giftime"));
    ed_giftime->setReadOnly(true);
    ed_giftime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ed_giftime->setFixedSize(36, rowHeight - 2);
    ed_giftime->setFocusPolicy(Qt::NoFocus);
    lay->addWidget(ed_giftime);
    bt_gifspeedup = addArrow("bt_gifspeedup", true, rowHeight);
    bt_gifspeeddown = addArrow("bt_gifspeeddown", false, rowHeight);
    lay->addStretch(1);
    pn_viewmain->layout()->addWidget(tbar_view_);
}

QToolButton *PictureToolBar::addArrow(const char *name, bool up, int rowHeight)
{
    auto *b = new QToolButton(fup_view_);
    b->setObjectName(QString::fromLatin1(name));
    b->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
    b->setProperty("tag", up ? kTagGifSpeedUp : kTagGifSpeedDown);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(16, rowHeight - 2);
    fup_view_->layout()->addWidget(b);
    return b;
}

} // namespace vorn
