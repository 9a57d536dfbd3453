#include "catalog/catalog_title_dialog.h"

#include "base/prompter.h"
#include "catalog/catalog_files.h"
#include "lang/texts.h"
#include "widgets/text_applier.h"
#include "widgets/theme.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr int kClientWidth = 355;
constexpr int kClientHeight = 150;

} // namespace

CatalogTitleDialog::CatalogTitleDialog(const Texts &texts, Prompter &prompter, bool textured, QWidget *parent)
    : QDialog(parent), texts_(texts), prompter_(prompter), textured_(textured)
{
    setObjectName(QStringLiteral("form_cattitle"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    pn_background_ = new QFrame(this);
    pn_background_->setObjectName(QStringLiteral("pn_background"));
    auto *top = new QVBoxLayout(pn_background_);
    top->setContentsMargins(14, 10, 14, 10);
    top->setSpacing(8);
    top->addStretch(1);
    lb_cattitle_ = new QLabel(pn_background_);
    lb_cattitle_->setObjectName(QStringLiteral("lb_cattitle"));
    lb_cattitle_->setWordWrap(true);
    top->addWidget(lb_cattitle_);
    ed_catedit_ = new QLineEdit(pn_background_);
    ed_catedit_->setObjectName(QStringLiteral("ed_catedit"));
    ed_catedit_->installEventFilter(this);
    top->addWidget(ed_catedit_);
    top->addStretch(1);
    outer->addWidget(pn_background_, 1);

    fup_titlebreak_ = new QFrame(this);
    fup_titlebreak_->setObjectName(QStringLiteral("fup_titlebreak"));
    fup_titlebreak_->setFrameShape(QFrame::StyledPanel);
    auto *row = new QHBoxLayout(fup_titlebreak_);
    row->setContentsMargins(10, 6, 10, 6);
    row->setSpacing(8);
    row->addStretch(1);
    bt_titlesave_ = new QPushButton(fup_titlebreak_);
    bt_titlesave_->setObjectName(QStringLiteral("bt_titlesave"));
    bt_titlesave_->setMinimumWidth(90);
    bt_titlesave_->setDefault(true);
    row->addWidget(bt_titlesave_);
    bt_titleabort_ = new QPushButton(fup_titlebreak_);
    bt_titleabort_->setObjectName(QStringLiteral("bt_titleabort"));
    bt_titleabort_->setMinimumWidth(90);
    bt_titleabort_->setAutoDefault(false);
    row->addWidget(bt_titleabort_);
    outer->addWidget(fup_titlebreak_);

    connect(bt_titlesave_, &QPushButton::clicked, this, &CatalogTitleDialog::bt_titlesaveClick);
    connect(bt_titleabort_, &QPushButton::clicked, this, &CatalogTitleDialog::bt_titleabortClick);
    FormShow();
}

std::optional<QString> CatalogTitleDialog::ask()
{
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return description_;
}

void CatalogTitleDialog::FormShow()
{
    apply_control_texts(this, texts_);
    for (auto [panel, kind] : {std::pair{static_cast<QWidget *>(pn_background_), Texture::White},
                               std::pair{static_cast<QWidget *>(fup_titlebreak_), Texture::Fu}}) {
        if (textured_)
            set_texture(panel, kind);
        else
            remove_texture(panel);
    }
    ed_catedit_->setFocus();
}

void CatalogTitleDialog::showEvent(QShowEvent *event)
{
    FormShow();
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void CatalogTitleDialog::bt_titlesaveClick()
{
    description_ = catalog_description(ed_catedit_->text().trimmed());
    if (description_.isEmpty())
        prompter_.info(texts_.msg(Msg::CatTitleAbort));
    done(QDialog::Accepted);
}

void CatalogTitleDialog::bt_titleabortClick()
{
    description_.clear();
    done(QDialog::Rejected);
}

void CatalogTitleDialog::reject()
{
    bt_titleabortClick();
}

bool CatalogTitleDialog::ed_cateditKeyDown(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        bt_titlesaveClick();
        return true;
    case Qt::Key_Escape:
        bt_titleabortClick();
        return true;
    default:
        return false;
    }
}

bool CatalogTitleDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ed_catedit_ && event->type() == QEvent::KeyPress &&
        ed_cateditKeyDown(static_cast<QKeyEvent *>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

} // namespace vorn
