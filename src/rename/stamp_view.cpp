#include "rename/stamp_view.h"

#include "base/job.h"
#include "base/paths.h"
#include "files/app_context.h"
#include "files/file_attributes.h"
#include "files/file_helpers.h"
#include "rename/rename_report.h"
#include "rename/time_stamp.h"
#include "widgets/led_lamp.h"
#include "widgets/panel_status_bar.h"
#include "widgets/progress_panel.h"
#include "widgets/text_applier.h"

#include <QApplication>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>

#include <cerrno>
#include <sys/stat.h>

namespace vorn
{

namespace
{

enum class FileKind { Missing, Link, Other };

// What the list's name stands for now; a symbolic link is not followed.
FileKind kind_of(const QString &path)
{
    struct stat st = {};
    if (lstat(native_path(path).constData(), &st) != 0)
        return FileKind::Missing;
    return S_ISLNK(st.st_mode) ? FileKind::Link : FileKind::Other;
}

const QString kDateFormat = QStringLiteral("dd.MM.yyyy");
const QString kTimeFormat = QStringLiteral("HH:mm:ss");

struct LampDef {
    const char *button;
    const char *lamp;
    int tag;
    quint32 bit;
};
// The buttons tell their lamp by tag, as their one handler does.
const LampDef kLamps[] = {
    {"bt_attribut0", "led_ro", 450, AttrReadOnly},
    {"bt_attribut1", "led_archiv", 451, AttrArchive},
    {"bt_attribut2", "led_hidden", 452, AttrHidden},
    {"bt_attribut3", "led_system", 453, AttrSystem},
};

QLabel *titleLabel(const char *name, QWidget *parent)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QString::fromLatin1(name));
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

} // namespace

StampView::StampView(AppContext &ctx, std::function<QString()> folder, std::function<QStringList()> selection,
                     QWidget *parent)
    : QWidget(parent), ctx_(ctx), folder_(std::move(folder)), selection_(std::move(selection)),
      job_(new Job(this))
{
    auto *grid = new QGridLayout(this);

    // Time stamp group.
    grid->addWidget(titleLabel("lb_setdatetime", this), 0, 0, 1, 3);
    date_ = new QDateEdit(QDate(1999, 1, 1), this);
    date_->setObjectName(QStringLiteral("dtp_datenew"));
    date_->setCalendarPopup(true);
    date_->setDisplayFormat(kDateFormat);
    time_ = new QTimeEdit(QTime(0, 0, 0), this);
    time_->setObjectName(QStringLiteral("dtp_timenew"));
    time_->setDisplayFormat(kTimeFormat);
    grid->addWidget(date_, 1, 0);
    grid->addWidget(time_, 1, 1);
    clock_ = new PanelStatusBar(QStringLiteral("stat_datetime"), {90, 70}, this);
    grid->addWidget(clock_, 2, 0, 1, 2);
    auto *now = new QPushButton(this);
    now->setObjectName(QStringLiteral("bt_datetimenow"));
    auto *set = new QPushButton(this);
    set->setObjectName(QStringLiteral("bt_datetimeset"));
    grid->addWidget(now, 2, 2);
    grid->addWidget(set, 1, 2);
    connect(now, &QPushButton::clicked, this, &StampView::bt_datetimenowClick);
    connect(set, &QPushButton::clicked, this, &StampView::bt_datetimesetClick);
    controls_ << date_ << time_ << now << set;

    // Attribute group.
    grid->setRowMinimumHeight(3, 12);
    grid->addWidget(titleLabel("lb_setattr", this), 4, 0, 1, 3);
    auto *lampGrid = new QGridLayout;
    grid->addLayout(lampGrid, 5, 0, 1, 3);
    int row = 0;
    for (const LampDef &d : kLamps) {
        auto *lamp = new LedLamp(QString::fromLatin1(d.lamp), this);
        auto *b = new QPushButton(this);
        b->setObjectName(QString::fromLatin1(d.button));
        b->setProperty("tag", d.tag);
        connect(b, &QPushButton::clicked, this, &StampView::bt_attribut0Click);
        lampGrid->addWidget(lamp, row, 0);
        lampGrid->addWidget(b, row, 1);
        lamps_ << lamp;
        lampButtons_ << b;
        controls_ << b;
        ++row;
    }
    auto *change = new QPushButton(this);
    change->setObjectName(QStringLiteral("bt_changeattr"));
    connect(change, &QPushButton::clicked, this, &StampView::bt_changeattrClick);
    lampGrid->addWidget(change, row - 1, 2);
    lampGrid->setColumnStretch(3, 1);
    controls_ << change;
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(6, 1);

    clockTimer_ = new QTimer(this);
    clockTimer_->setInterval(1000);
    connect(clockTimer_, &QTimer::timeout, this, &StampView::updateClock);
    updateClock();
    connect(job_, &Job::finished, this, &StampView::finishRun);
}

void StampView::applyTexts()
{
    apply_control_texts(this, ctx_.texts());
}

void StampView::showEvent(QShowEvent *event)
{
    updateClock();
    clockTimer_->start();
    clock_->setEnabled(true);
    QWidget::showEvent(event);
}

void StampView::hideEvent(QHideEvent *event)
{
    clockTimer_->stop();
    clock_->setEnabled(false);
    QWidget::hideEvent(event);
}

void StampView::updateClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    clock_->setPanelText(0, now.toString(kDateFormat));
    clock_->setPanelText(1, now.toString(kTimeFormat));
}

QDateTime StampView::pickedDateTime() const
{
    return QDateTime(date_->date(), time_->time());
}

bool StampView::isBusy() const
{
    return job_->isRunning();
}

void StampView::setProgressPanel(ProgressPanel *panel)
{
    panel_ = panel;
    connect(panel_, &ProgressPanel::cancelClicked, job_, &Job::cancel);
    connect(job_, &Job::progressed, panel_, &ProgressPanel::setProgress);
}

void StampView::setBusy(bool busy, const QString &title)
{
    for (QWidget *w : controls_)
        w->setEnabled(!busy);
    if (panel_ && busy)
        panel_->begin(title, ctx_.msg(Msg::WorkCancel));
    else if (panel_)
        panel_->end();
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
    emit busyChanged(busy);
}

void StampView::darkenLamps()
{
    for (LedLamp *l : lamps_)
        l->setOn(false);
}

void StampView::showAttributesOf(const QStringList &names)
{
    darkenLamps();
    if (names.size() != 1)
        return;
    const QString path = with_trailing_slash(folder_()) + names.first();
    const quint32 a = file_attributes(path);
    if (a == kInvalidAttributes)
        return;
    for (int i = 0; i < lamps_.size(); ++i)
        lamps_[i]->setOn(a & kLamps[i].bit);
}

void StampView::bt_attribut0Click()
{
    const int tag = sender() ? sender()->property("tag").toInt() : 0;
    for (int i = 0; i < lamps_.size(); ++i)
        if (kLamps[i].tag == tag)
            lamps_[i]->setOn(!lamps_[i]->isOn());
}

void StampView::bt_datetimenowClick()
{
    // The pickers get what the clock bar shows, read back from its texts.
    const QDate d = QDate::fromString(clock_->panelText(0), kDateFormat);
    const QTime t = QTime::fromString(clock_->panelText(1), kTimeFormat);
    if (d.isValid())
        date_->setDate(d);
    if (t.isValid())
        time_->setTime(t);
}

void StampView::bt_changeattrClick()
{
    const QStringList names = selection_();
    if (names.isEmpty() || isBusy())
        return;
    const QString folder = with_trailing_slash(folder_());
    if (ctx_.drives().is_cdrom_drive(folder)) {
        ctx_.prompter().message(ctx_.msg(Msg::CdromNoWrite), Answer::Ok, PromptIcon::Warning);
        return;
    }
    quint32 set = 0;
    for (int i = 0; i < lamps_.size(); ++i)
        if (lamps_[i]->isOn())
            set |= kLamps[i].bit;
    failureTitle_ = ctx_.msg(Msg::StampFailures);
    setBusy(true, ctx_.texts().caption(QStringLiteral("lb_setattr")));
    job_->start([folder, names, set](JobToken &t) {
        QList<RenameFailure> failures;
        for (int i = 0; i < names.size(); ++i) {
            if (!t.checkpoint())
                break;
            t.progress(i, names.size(), names[i]);
            const QString path = folder + names[i];
            const FileKind kind = kind_of(path);
            // A link has no attributes of its own here: setting them would change its target,
            // which may lie in any other folder.
            if (kind == FileKind::Link)
                failures << RenameFailure{names[i], RefusedLink};
            else if (kind == FileKind::Other && !set_file_attributes(path, set))
                failures << RenameFailure{names[i], errno ? errno : EPERM};
        }
        return failures;
    });
}

void StampView::bt_datetimesetClick()
{
    const QStringList names = selection_();
    if (names.isEmpty() || isBusy())
        return;
    const QString folder = with_trailing_slash(folder_());
    if (ctx_.drives().is_cdrom_drive(folder)) {
        ctx_.prompter().message(ctx_.msg(Msg::CdromNoWrite), Answer::Ok, PromptIcon::Warning);
        return;
    }
    const std::optional<QDateTime> when = local_stamp(date_->date(), time_->time());
    if (!when) {
        ctx_.prompter().message(ctx_.msg(Msg::TimeNotLocal), Answer::Ok, PromptIcon::Error);
        return;
    }
    failureTitle_ = ctx_.msg(Msg::StampFailures);
    Prompter *prompter = &ctx_.prompter();
    const QString readOnly = ctx_.msg(Msg::FileReadOnly);
    setBusy(true, ctx_.texts().caption(QStringLiteral("lb_setdatetime")));
    job_->start([folder, names, stamp = *when, prompter, readOnly](JobToken &t) {
        QList<RenameFailure> failures;
        for (int i = 0; i < names.size(); ++i) {
            if (!t.checkpoint())
                break;
            t.progress(i, names.size(), names[i]);
            const QString path = folder + names[i];
            const FileKind kind = kind_of(path);
            if (kind == FileKind::Missing)
                continue;
            // A link is stamped itself, never what it points to; it has no read-only flag.
            if (kind == FileKind::Other && is_read_only(path)) {
                // Never stamped; the answer only says whether the run goes on.
                Answer a = Answer::Cancel;
                if (!t.ask([&] {
                        a = prompter->message(path + QStringLiteral("\r\n\r\n") + readOnly,
                                              Answer::Ok | Answer::Cancel, PromptIcon::Error);
                    }) ||
                    a != Answer::Ok)
                    break;
                continue;
            }
            if (!set_modification_time(path, stamp, kind == FileKind::Link))
                failures << RenameFailure{names[i], errno ? errno : EPERM};
        }
        return failures;
    });
}

void StampView::finishRun()
{
    setBusy(false);
    emit filesChanged();
    if (job_->hasResult())
        report_failures(ctx_, failureTitle_, job_->result<QList<RenameFailure>>());
}

} // namespace vorn
