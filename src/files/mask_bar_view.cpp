#include "files/mask_bar_view.h"

#include "widgets/collapsible_toolbar.h"

#include "files/grid_report.h"
#include "widgets/string_grid_widget.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr int kMaskColumnWidth = 31;
constexpr int kMaskColumnMin = 16;
constexpr int kMaskColumnMax = 48;

QToolButton *maskButton(QWidget *parent, const QString &name, const QString &caption, int tag, int h)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(caption);
    b->setCheckable(true);
    b->setProperty("tag", tag);
    b->setFixedHeight(h);
    b->setMinimumWidth(34);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return b;
}

QWidget *buttonRow(QWidget *parent, const char *name, int h)
{
    auto *row = new QWidget(parent);
    row->setObjectName(QString::fromLatin1(name));
    row->setFixedHeight(h + 2);
    auto *lay = new QHBoxLayout(row);
    lay->setContentsMargins(2, 1, 2, 1);
    lay->setSpacing(1);
    return row;
}

} // namespace

MaskBarView::MaskBarView(AppContext &ctx, int rowHeight, QWidget *parent)
    : QWidget(parent), ctx_(ctx), rowHeight_(rowHeight)
{
    setObjectName(QStringLiteral("fup_maskmain"));
    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);

    QWidget *fixedRow = buttonRow(this, "fup_maskbuts", rowHeight);
    for (const FixedMask &m : kFixedMasks) {
        QToolButton *b = maskButton(fixedRow, QStringLiteral("bt_maskwahl%1").arg(m.tag),
                                    QString::fromLatin1(m.caption), m.tag, rowHeight);
        fixed_[m.tag] = b;
        fixedRow->layout()->addWidget(b);
        if (m.tag == kAllFilesTag)
            connect(b, &QToolButton::clicked, this, &MaskBarView::bt_maskwahl13Click);
        else
            connect(b, &QToolButton::clicked, this, &MaskBarView::bt_maskwahl0click);
    }
    bt_userdefined_ = maskButton(fixedRow, QStringLiteral("bt_userdefined"), QString(), -1, rowHeight);
    bt_setmasks_ = maskButton(fixedRow, QStringLiteral("bt_setmasks"), QString(), -1, rowHeight);
    connect(bt_userdefined_, &QToolButton::clicked, this, &MaskBarView::bt_userdefinedClick);
    connect(bt_setmasks_, &QToolButton::clicked, this, &MaskBarView::bt_setmasksClick);
    pn_filter_ = new QLabel(fixedRow);
    pn_filter_->setObjectName(QStringLiteral("pn_filter"));
    pn_filter_->setFrameShape(QFrame::Panel);
    pn_filter_->setFrameShadow(QFrame::Sunken);
    pn_filter_->setTextFormat(Qt::PlainText);
    pn_filter_->setMinimumWidth(60);
    pn_filter_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    pn_filter_->setAutoFillBackground(true);
    fixedRow->layout()->addWidget(bt_userdefined_);
    fixedRow->layout()->addWidget(bt_setmasks_);
    static_cast<QHBoxLayout *>(fixedRow->layout())->addWidget(pn_filter_, 1);
    lay->addWidget(fixedRow);

    fup_usermask_ = buttonRow(this, "fup_usermask", rowHeight);
    // The user masks' row opens with its own title on a blue strip.
    auto *userStrip = new QWidget(fup_usermask_);
    userStrip->setObjectName(QStringLiteral("pn_filter1"));
    userStrip->setProperty("titleStrip", true);
    auto *stripLayout = new QHBoxLayout(userStrip);
    stripLayout->setContentsMargins(4, 0, 4, 0);
    auto *userTitle = new QLabel(userStrip);
    userTitle->setObjectName(QStringLiteral("lb_filter1"));
    userTitle->setProperty("titleLabel", true);
    QFont titleFont = userTitle->font();
    titleFont.setBold(true);
    userTitle->setFont(titleFont);
    stripLayout->addWidget(userTitle);
    fup_usermask_->layout()->addWidget(userStrip);
    for (int i = 0; i < kUserMaskCount; ++i) {
        QToolButton *b = maskButton(fup_usermask_, QStringLiteral("bt_usermask%1").arg(i), QString(),
                                    kFirstUserMaskTag + i, rowHeight);
        user_[i] = b;
        fup_usermask_->layout()->addWidget(b);
        connect(b, &QToolButton::clicked, this, &MaskBarView::bt_maskwahl0click);
    }
    static_cast<QHBoxLayout *>(fup_usermask_->layout())->addStretch(1);
    lay->addWidget(fup_usermask_);
    fup_usermask_->hide();

    fup_maskconfigmain_ = buttonRow(this, "fup_maskconfigmain", rowHeight);
    sg_maskconf_ = new QTableWidget(1, kUserMaskCount, fup_maskconfigmain_);
    sg_maskconf_->setObjectName(QStringLiteral("sg_maskconf"));
    sg_maskconf_->horizontalHeader()->hide();
    sg_maskconf_->verticalHeader()->hide();
    sg_maskconf_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sg_maskconf_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sg_maskconf_->verticalHeader()->setDefaultSectionSize(rowHeight - 2);
    sg_maskconf_->setFixedHeight(rowHeight);
    sg_maskconf_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    StringGrid empty(kUserMaskCount, 1);
    empty.setAllColWidths(kMaskColumnWidth);
    showMaskGrid(empty);
    bt_maskconfigok_ = new QToolButton(fup_maskconfigmain_);
    bt_maskconfigok_->setObjectName(QStringLiteral("bt_maskconfigok"));
    bt_maskconfigok_->setText(QStringLiteral("Ok"));
    bt_maskconfigok_->setFixedHeight(rowHeight);
    connect(bt_maskconfigok_, &QToolButton::clicked, this, &MaskBarView::bt_maskconfigokClick);
    fup_maskconfigmain_->layout()->addWidget(sg_maskconf_);
    fup_maskconfigmain_->layout()->addWidget(bt_maskconfigok_);
    static_cast<QHBoxLayout *>(fup_maskconfigmain_->layout())->addStretch(1);
    lay->addWidget(fup_maskconfigmain_);
    fup_maskconfigmain_->hide();

    syncButtons();
    pn_filter_->setText(QStringLiteral("*.*"));
}

void MaskBarView::showMaskGrid(StringGrid g)
{
    // All fourteen cells stay in sight: each column between a narrow and a wide cell (a file
    // may say 0 or 100000), and the grid exactly as wide as its columns, which the fixed
    // window always has room for.
    int width = 2 * sg_maskconf_->frameWidth();
    for (int c = 0; c < g.colCount(); ++c) {
        g.setColWidth(c, qBound(kMaskColumnMin, g.colWidth(c), kMaskColumnMax));
        if (c < kUserMaskCount)
            width += g.colWidth(c);
    }
    show_grid(g, sg_maskconf_);
    sg_maskconf_->setFixedWidth(width);
}

QStringList MaskBarView::userCells() const
{
    QStringList cells;
    for (int i = 0; i < kUserMaskCount; ++i) {
        const QTableWidgetItem *item = sg_maskconf_->item(0, i);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

void MaskBarView::syncButtons()
{
    for (int t = 0; t < kFixedMaskCount; ++t)
        fixed_[t]->setChecked(state_.isDown(t));
    for (int i = 0; i < kUserMaskCount; ++i)
        user_[i]->setChecked(state_.isDown(kFirstUserMaskTag + i));
}

void MaskBarView::bt_maskwahl0click()
{
    auto *b = qobject_cast<QToolButton *>(sender());
    if (!b)
        return;
    state_.click(b->property("tag").toInt(), b->isChecked(), userCells());
    apply_mask();
}

void MaskBarView::bt_maskwahl13Click()
{
    state_.click(kAllFilesTag, fixed_[kAllFilesTag]->isChecked(), userCells());
    apply_mask();
}

void MaskBarView::apply_mask()
{
    syncButtons();
    pn_filter_->setText(state_.filterText());
    ctx_.setFilter(state_.filter());
}

void MaskBarView::bt_userdefinedClick()
{
    fup_usermask_->setVisible(bt_userdefined_->isChecked());
    emit heightChanged();
}

void MaskBarView::bt_setmasksClick()
{
    const bool on = bt_setmasks_->isChecked();
    fup_maskconfigmain_->setVisible(on);
    bt_userdefined_->setEnabled(!on);
    emit heightChanged();
}

bool MaskBarView::loadGrid()
{
    const QString path = ctx_.paths().mskFile;
    StringGrid g = grid_from_table(sg_maskconf_);
    if (!load_grid_reported(ctx_, path, g))
        return false;
    showMaskGrid(g);
    return true;
}

void MaskBarView::loadMaskFile()
{
    if (QFileInfo::exists(ctx_.paths().mskFile))
        loadGrid();
}

void MaskBarView::bt_maskconfigokClick()
{
    // The grid keeps fourteen columns of one row whatever a file said.
    StringGrid g = grid_from_table(sg_maskconf_);
    g.setSize(kUserMaskCount, 1);
    showMaskGrid(g);
    const QStringList cells = userCells();
    for (int i = 0; i < kUserMaskCount; ++i)
        user_[i]->setText(cells[i]);
    QString error;
    if (!save_grid(ctx_.paths().mskFile, g, &error))
        ctx_.prompter().error(ctx_.msg(Msg::WriteFailed) + ctx_.paths().mskFile + QStringLiteral("\r\n") +
                              error);
    else
        loadGrid();
    const QStringList back = userCells();
    for (int i = 0; i < kUserMaskCount; ++i) {
        user_[i]->setText(back[i]);
        user_[i]->setEnabled(!back[i].isEmpty());
    }
    for (QToolButton *b : fixed_)
        b->setEnabled(true);
}

void MaskBarView::setAllButtonsEnabled(bool on)
{
    for (QToolButton *b : fixed_)
        b->setEnabled(on);
    for (QToolButton *b : user_)
        b->setEnabled(on);
}

CollapsibleToolBar *MaskBarView::makeBar(QWidget *parent)
{
    return new CollapsibleToolBar(QStringLiteral("tbar_mask"), QStringLiteral("lb_filter"), parent);
}

} // namespace vorn
