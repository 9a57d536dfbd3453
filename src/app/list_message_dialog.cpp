#include "app/list_message_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

QStyle::StandardPixmap iconPixmap(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information:
        return QStyle::SP_MessageBoxInformation;
    case PromptIcon::Warning:
        return QStyle::SP_MessageBoxWarning;
    case PromptIcon::Error:
        return QStyle::SP_MessageBoxCritical;
    case PromptIcon::Question:
        return QStyle::SP_MessageBoxQuestion;
    case PromptIcon::None:
        break;
    }
    return QStyle::SP_CustomBase;
}

// The program's texts carry Windows line breaks; the dialog shows plain ones.
QString plainBreaks(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    return text;
}

} // namespace

ListMessageDialog::ListMessageDialog(const QString &text, const QStringList &lines, PromptIcon icon,
                                     const QString &caption, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("form_listmessage"));
    setWindowTitle(caption.isEmpty() ? QApplication::applicationName() : caption);
    setModal(true);
    auto *outer = new QVBoxLayout(this);

    auto *head = new QHBoxLayout;
    if (icon != PromptIcon::None) {
        auto *pic = new QLabel(this);
        const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        pic->setPixmap(style()->standardIcon(iconPixmap(icon), nullptr, this).pixmap(side, side));
        pic->setAlignment(Qt::AlignTop);
        head->addWidget(pic);
    }
    auto *label = new QLabel(plainBreaks(text).trimmed(), this);
    label->setObjectName(QStringLiteral("lb_listmessage"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    head->addWidget(label, 1);
    outer->addLayout(head);

    list_ = new QPlainTextEdit(this);
    list_->setObjectName(QStringLiteral("memo_listmessage"));
    list_->setReadOnly(true);
    list_->setLineWrapMode(QPlainTextEdit::NoWrap);
    list_->setPlainText(plainBreaks(lines.join(QLatin1Char('\n'))));
    outer->addWidget(list_, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    outer->addWidget(buttons);

    // As large as the list asks for, within the screen's free area (a margin left for the
    // window frame); beyond that the list scrolls.
    QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    const QSize most(std::max(200, avail.width() - 40), std::max(150, avail.height() - 60));
    const QFontMetrics fm(list_->font());
    int widest = fm.horizontalAdvance(label->text().section(QLatin1Char('\n'), 0, 0));
    for (const QString &line : lines)
        widest = std::max(widest, fm.horizontalAdvance(line));
    const int listHeight = fm.lineSpacing() * int(std::min<qsizetype>(lines.size() + 1, 10000));
    const int frameHeight = sizeHint().height() - list_->sizeHint().height();
    const QSize wanted(std::max(360, widest + 80), frameHeight + listHeight + 2 * list_->frameWidth());
    setMaximumSize(most);
    resize(wanted.boundedTo(most));
}

} // namespace vorn
