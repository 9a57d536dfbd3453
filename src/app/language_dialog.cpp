#include "app/language_dialog.h"

#include "files/app_context.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

// Small flags drawn in code: black-red-gold bands, and a blue field with a red-white cross.
QIcon flagIcon(bool german)
{
    QPixmap pm(36, 24);
    QPainter p(&pm);
    if (german) {
        p.fillRect(0, 0, 36, 8, Qt::black);
        p.fillRect(0, 8, 36, 8, QColor(221, 0, 0));
        p.fillRect(0, 16, 36, 8, QColor(255, 206, 0));
    } else {
        p.fillRect(pm.rect(), QColor(1, 33, 105));
        p.setPen(QPen(Qt::white, 6));
        p.drawLine(0, 0, 36, 24);
        p.drawLine(36, 0, 0, 24);
        p.fillRect(14, 0, 8, 24, Qt::white);
        p.fillRect(0, 8, 36, 8, Qt::white);
        p.fillRect(16, 0, 4, 24, QColor(200, 16, 46));
        p.fillRect(0, 10, 36, 4, QColor(200, 16, 46));
    }
    return QIcon(pm);
}

QPushButton *languageButton(const QString &text, bool german, int tag, QWidget *parent, const char *name)
{
    auto *b = new QPushButton(flagIcon(german), text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setCheckable(true);
    b->setIconSize(QSize(36, 24));
    b->setMinimumWidth(120);
    b->setProperty("tag", tag);
    return b;
}

} // namespace

LanguageDialog::LanguageDialog(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("form_lang"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
    auto *lay = new QVBoxLayout(this);
    for (const char *line : {"Bitte wählen Sie Ihre Sprache!", "Please select your language!"}) {
        auto *l = new QLabel(QString::fromUtf8(line), this);
        l->setAlignment(Qt::AlignCenter);
        l->setStyleSheet(QStringLiteral("color: #f5c542; font-weight: bold; background: transparent;"));
        lay->addWidget(l);
    }
    auto *row = new QHBoxLayout;
    bt_german_ = languageButton(QStringLiteral("Deutsch"), true, German, this, "bt_german");
    bt_english_ = languageButton(QStringLiteral("English"), false, English, this, "bt_english");
    row->addWidget(bt_german_);
    row->addWidget(bt_english_);
    lay->addLayout(row);
    bt_exit_ = new QPushButton(QStringLiteral("OK"), this);
    bt_exit_->setObjectName(QStringLiteral("bt_exit"));
    bt_exit_->setDefault(true);
    lay->addWidget(bt_exit_, 0, Qt::AlignHCenter);
    connect(bt_german_, &QPushButton::clicked, this, &LanguageDialog::bt_germanClick);
    connect(bt_english_, &QPushButton::clicked, this, &LanguageDialog::bt_germanClick);
    connect(bt_exit_, &QPushButton::clicked, this, &LanguageDialog::bt_exitClick);
    adjustSize();
    if (QScreen *s = parent ? parent->screen() : QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
    // The state is set at once, so that the dialog is right even before it is shown.
    choose(ctx_.language());
}

void LanguageDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    choose(ctx_.language());
}

void LanguageDialog::choose(int index)
{
    bt_german_->setChecked(index == German);
    bt_english_->setChecked(index == English);
    set_dlglanguage();
}

void LanguageDialog::set_dlglanguage()
{
    setWindowTitle(ctx_.language() == German ? QStringLiteral("Deutsch") : QStringLiteral("English"));
    bt_exit_->setText(QStringLiteral("OK"));
}

void LanguageDialog::bt_germanClick()
{
    auto *b = qobject_cast<QPushButton *>(sender());
    const int tag = b ? b->property("tag").toInt() : ctx_.language();
    ctx_.setLanguageIndex(tag);
    // Written at once, so that a later crash keeps the choice.
    save_language(ctx_.paths().cfgFile, ctx_.config(), tag);
    choose(tag);
}

void LanguageDialog::bt_exitClick()
{
    accept();
}

void LanguageDialog::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, Qt::black);
    g.setColorAt(1, QColor(0, 0, 200));
    p.fillRect(rect(), g);
}

} // namespace vorn
