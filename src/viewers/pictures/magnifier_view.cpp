#include "viewers/pictures/magnifier_view.h"

#include "viewers/pictures/picture_geometry.h"
#include "widgets/drag_grip.h"
#include "widgets/magnifier_widget.h"

#include <QFrame>
#include <QToolButton>

namespace vorn
{

namespace
{

constexpr int kRowHeight = 17;     // fup_lupebuts
constexpr int kStartHeight = 167;  // 154 x 167 until the first size step makes it square
constexpr int kButtonsWidth = 122; // the four buttons and their gaps, left of the grip
constexpr int kBorder = 2;

QToolButton *rowButton(const char *name, const QString &text, int width, QWidget *row)
{
    auto *b = new QToolButton(row);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(text);
    b->setFixedSize(width, kRowHeight);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(false);
    return b;
}

} // namespace

MagnifierView::MagnifierView(QToolButton *bt_lupe, QWidget *area, QObject *parent)
    : QObject(parent), bt_lupe_(bt_lupe)
{
    pn_lupe_ = new QFrame(area);
    pn_lupe_->setObjectName(QStringLiteral("pn_lupe"));
    pn_lupe_->setFrameShape(QFrame::Panel);
    pn_lupe_->setFrameShadow(QFrame::Raised);
    pn_lupe_->setLineWidth(kBorder);
    pn_lupe_->setAutoFillBackground(true);
    QPalette pal = pn_lupe_->palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192)); // silver
    pn_lupe_->setPalette(pal);

    fup_lupebuts_ = new QWidget(pn_lupe_);
    fup_lupebuts_->setObjectName(QStringLiteral("fup_lupebuts"));
    bt_lupesmaller_ = rowButton("bt_lupesmaller", QStringLiteral("\u2212"), 30, fup_lupebuts_);
    bt_lupebigger_ = rowButton("bt_lupebigger", QStringLiteral("+"), 30, fup_lupebuts_);
    bt_lupedecfaktor_ = rowButton("bt_lupedecfaktor", QStringLiteral("\u00ab"), 20, fup_lupebuts_);
    bt_lupeincfaktor_ = rowButton("bt_lupeincfaktor", QStringLiteral("\u00bb"), 20, fup_lupebuts_);
    int x = 0;
    for (QToolButton *b : {bt_lupesmaller_, bt_lupebigger_, bt_lupedecfaktor_, bt_lupeincfaktor_}) {
        b->move(x, 0);
        x += b->width() + 5;
    }
    img_movelupectrl_ = new DragGrip(QStringLiteral("img_movelupectrl"), pn_lupe_, fup_lupebuts_);
    lupe_ = new MagnifierWidget(QStringLiteral("lupe"), pn_lupe_);

    bt_lupesmaller_->setEnabled(false);
    bt_lupedecfaktor_->setEnabled(false);
    pn_lupe_->resize(kLupeSizeMin, kStartHeight);
    placeGrip();
    pn_lupe_->move(10, 10);
    pn_lupe_->hide();

    connect(bt_lupe_, &QToolButton::clicked, this, &MagnifierView::bt_lupeClick);
    connect(bt_lupeincfaktor_, &QToolButton::clicked, this, &MagnifierView::bt_lupeincfaktorClick);
    connect(bt_lupedecfaktor_, &QToolButton::clicked, this, &MagnifierView::bt_lupedecfaktorClick);
    connect(bt_lupebigger_, &QToolButton::clicked, this, &MagnifierView::bt_lupebiggerClick);
    connect(bt_lupesmaller_, &QToolButton::clicked, this, &MagnifierView::bt_lupesmallerClick);
}

QToolButton *MagnifierView::button(const char *name) const
{
    return pn_lupe_->findChild<QToolButton *>(QString::fromLatin1(name));
}

void MagnifierView::switchOff()
{
    bt_lupe_->setChecked(false);
    bt_lupeClick();
}

void MagnifierView::bt_lupeClick()
{
    if (bt_lupe_->isChecked()) {
        pn_lupe_->raise();
        pn_lupe_->show();
        lupe_->setActive(true);
    } else {
        lupe_->setActive(false);
        pn_lupe_->hide();
    }
}

void MagnifierView::bt_lupeincfaktorClick()
{
    const int level = next_lupe_factor(int(lupe_->zoom()), true);
    lupe_->setZoom(level);
    bt_lupedecfaktor_->setEnabled(true);
    bt_lupeincfaktor_->setEnabled(level < kLupeFactorMax);
}

void MagnifierView::bt_lupedecfaktorClick()
{
    const int level = next_lupe_factor(int(lupe_->zoom()), false);
    lupe_->setZoom(level);
    bt_lupeincfaktor_->setEnabled(true);
    bt_lupedecfaktor_->setEnabled(level > kLupeFactorMin);
}

void MagnifierView::bt_lupebiggerClick()
{
    const int before = pn_lupe_->width();
    const int after = next_lupe_size(before, true);
    if (after != before) {
        setPanelSize(after);
        bt_lupesmaller_->setEnabled(true);
    }
    bt_lupebigger_->setEnabled(lupe_bigger_enabled_after(before));
}

void MagnifierView::bt_lupesmallerClick()
{
    const int before = pn_lupe_->width();
    const int after = next_lupe_size(before, false);
    if (after != before) {
        setPanelSize(after);
        bt_lupebigger_->setEnabled(true);
    }
    bt_lupesmaller_->setEnabled(lupe_smaller_enabled_after(pn_lupe_->width()));
}

void MagnifierView::setPanelSize(int side)
{
    pn_lupe_->resize(side, side);
    placeGrip();
}

void MagnifierView::placeGrip()
{
    // The button row runs along the top inside the border; the magnifier fills the rest.
    const int inner = pn_lupe_->width() - 2 * kBorder;
    fup_lupebuts_->setGeometry(kBorder, kBorder, inner, kRowHeight);
    img_movelupectrl_->setGeometry(kButtonsWidth, 0, std::max(0, inner - kButtonsWidth), kRowHeight);
    lupe_->setGeometry(kBorder, kBorder + kRowHeight, inner, pn_lupe_->height() - 2 * kBorder - kRowHeight);
}

} // namespace vorn
