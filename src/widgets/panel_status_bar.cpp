#include "widgets/panel_status_bar.h"

#include <QHBoxLayout>
#include <QLabel>

namespace vorn
{

PanelStatusBar::PanelStatusBar(const QString &name, const QList<int> &widths, QWidget *parent)
    : QFrame(parent)
{
    setObjectName(name);
    setFixedHeight(20);
    auto *lay = new QHBoxLayout(this);
    lay->setContentsMargins(1, 1, 1, 1);
    lay->setSpacing(2);
    for (int i = 0; i < widths.size(); ++i) {
        auto *l = new QLabel(this);
        l->setObjectName(name + QStringLiteral("_%1").arg(i));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setTextFormat(Qt::PlainText);
        l->setContentsMargins(3, 0, 3, 0);
        if (widths[i] > 0) {
            l->setFixedWidth(widths[i]);
            lay->addWidget(l);
        } else {
            l->setMinimumWidth(20);
            lay->addWidget(l, 1);
        }
        panels_ << l;
    }
}

QString PanelStatusBar::panelText(int i) const
{
    return i >= 0 && i < panels_.size() ? panels_[i]->text() : QString();
}

void PanelStatusBar::setPanelText(int i, const QString &text)
{
    if (i >= 0 && i < panels_.size())
        panels_[i]->setText(text);
}

} // namespace vorn
