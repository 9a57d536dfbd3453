#include "viewers/documents/text_view.h"

#include "base/job.h"
#include "base/native_names.h"
#include "base/text_file.h"
#include "files/app_context.h"
#include "files/file_list_view.h"
#include "widgets/collapsible_toolbar.h"
#include "widgets/editor_filler.h"
#include "widgets/hex_widget.h"
#include "widgets/panel_status_bar.h"
#include "widgets/tool_row.h"
#include "widgets/viewer_icons.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr int kTagClear = 3750;
constexpr int kTagCut = 3751;
constexpr int kTagCopy = 3752;
constexpr int kTagPaste = 3753;
constexpr int kTagColsUp = 3760;
constexpr int kTagColsDown = 3761;
constexpr int kTagFontUp = 3762;
constexpr int kTagFontDown = 3763;
constexpr int kMinCols = 4;
constexpr int kMaxCols = 24;
constexpr int kMinFont = 8;
constexpr int kMaxFont = 14;
constexpr int kSplitterWidth = 2;
// Files up to this size are read at once; larger ones are read in the background and filled
// into the editor in pieces, so the window keeps answering.
constexpr qint64 kLoadAtOnce = qint64(512) << 10;

struct LoadResult {
    bool ok = false;
    TextDocument doc;
    QString error;
};

QString line_end_name(LineEnd e)
{
    switch (e) {
    case LineEnd::CrLf:
        return QStringLiteral("CR LF");
    case LineEnd::Cr:
        return QStringLiteral("CR");
    default:
        return QStringLiteral("LF");
    }
}

} // namespace

TextView::TextView(AppContext &ctx, QFrame *pn_textmain, int rowHeight, QObject *parent)
    : QObject(parent), ctx_(ctx), pn_textmain_(pn_textmain)
{
    buildToolBar(rowHeight);
    buildBody();
    filler1_ = new EditorFiller(textmemo_, this);
    filler2_ = new EditorFiller(textmemo2_, this);
    connect(filler1_, &EditorFiller::done, this, [this] {
        updateButtons();
        emit loaded();
    });
    connect(filler2_, &EditorFiller::done, this, &TextView::updateButtons);
    loadJob_ = new Job(this);
    loadJob2_ = new Job(this);
    connect(loadJob_, &Job::finished, this, [this] {
        if (const TextDocument *doc = readResult(loadJob_, path_))
            fillEditor(*doc);
        else if (!loadJob_->wasCancelled())
            textmemo_->setEnabled(false);
        updateButtons();
    });
    connect(loadJob2_, &Job::finished, this, [this] {
        if (const TextDocument *doc = readResult(loadJob2_, loadPath_))
            fillEditor2(*doc);
        updateButtons();
    });
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget *, QWidget *now) { onFocusChanged(now); });
    if (QClipboard *cb = QGuiApplication::clipboard())
        connect(cb, &QClipboard::dataChanged, this, &TextView::updateButtons);
    connect(&ctx_, &AppContext::languageChanged, this, &TextView::applyTexts);
    updateButtons();
}

TextView::~TextView() = default;

// ---------------------------------------------------------------------------------------------
// Controls

QToolButton *TextView::addButton(const char *name, bool checkable, int tag)
{
    QToolButton *b = add_tool_button(fup_text_, name, viewer_tool_icon(name), checkable);
    if (tag)
        b->setProperty("tag", tag);
    return b;
}

void TextView::buildToolBar(int rowHeight)
{
    tbar_text_ =
        new CollapsibleToolBar(QStringLiteral("tbar_text"), QStringLiteral("lb_contexttext"), pn_textmain_);
    fup_text_ = add_tool_row(tbar_text_, QStringLiteral("fup_text"), rowHeight);
    auto *lay = static_cast<QHBoxLayout *>(fup_text_->layout());

    bt_textnorm_ = addButton("bt_textnorm", true);
    bt_texthex_ = addButton("bt_texthex", true);
    frontGroup_ = new QButtonGroup(this);
    frontGroup_->setExclusive(true);
    frontGroup_->addButton(bt_textnorm_);
    frontGroup_->addButton(bt_texthex_);
    bt_textnorm_->setChecked(true);
    lay->addSpacing(6);
    bt_textmemo2_ = addButton("bt_textmemo2", true);
    bt_textload_ = addButton("bt_textload", false);
    bt_textsave_ = addButton("bt_textsave", false);
    lay->addSpacing(6);
    bt_textclear_ = addButton("bt_textclear", false, kTagClear);
    bt_textcut_ = addButton("bt_textcut", false, kTagCut);
    bt_textcopy_ = addButton("bt_textcopy", false, kTagCopy);
    bt_textpaste_ = addButton("bt_textpaste", false, kTagPaste);
    lay->addSpacing(6);
    auto panel = [&](const char *name, const QString &text) {
        auto *l = new QLabel(text, fup_text_);
        l->setObjectName(QString::fromLatin1(name));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        l->setFixedSize(28, rowHeight - 2);
        lay->addWidget(l);
        return l;
    };
    bt_colsup_ = addButton("bt_colsup", false, kTagColsUp);
    bt_colsdown_ = addButton("bt_colsdown", false, kTagColsDown);
    pn_hexcols_ = panel("pn_hexcols", QStringLiteral("16"));
    lay->addSpacing(6);
    bt_fontup_ = addButton("bt_fontup", false, kTagFontUp);
    bt_fontdown_ = addButton("bt_fontdown", false, kTagFontDown);
    pn_fontsize_ = panel("pn_fontsize", QStringLiteral("8"));
    lay->addStretch(1);

    connect(bt_textnorm_, &QToolButton::clicked, this, &TextView::bt_textnormClick);
    connect(bt_texthex_, &QToolButton::clicked, this, &TextView::bt_texthexClick);
    connect(bt_textmemo2_, &QToolButton::clicked, this, &TextView::bt_textmemo2Click);
    connect(bt_textload_, &QToolButton::clicked, this, &TextView::bt_textloadClick);
    connect(bt_textsave_, &QToolButton::clicked, this, &TextView::bt_textsaveClick);
    for (QToolButton *b : {bt_textclear_, bt_textcut_, bt_textcopy_, bt_textpaste_})
        connect(b, &QToolButton::clicked, this, &TextView::bt_textclearClick);
    for (QToolButton *b : {bt_colsup_, bt_colsdown_, bt_fontup_, bt_fontdown_})
        connect(b, &QToolButton::clicked, this, &TextView::bt_colsupClick);
    pn_textmain_->layout()->addWidget(tbar_text_);
}

QPlainTextEdit *TextView::makeEditor(const QString &name)
{
    auto *e = new QPlainTextEdit(split_text_);
    e->setObjectName(name);
    e->setLineWrapMode(QPlainTextEdit::NoWrap);
    e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPointSize(fontSize_);
    e->setFont(f);
    e->installEventFilter(this);
    connect(e, &QPlainTextEdit::selectionChanged, this, &TextView::textmemoSelectionChange);
    connect(e, &QPlainTextEdit::modificationChanged, this, &TextView::updateButtons);
    return e;
}

void TextView::buildBody()
{
    front_ = new QStackedWidget(pn_textmain_);
    front_->setObjectName(QStringLiteral("pn_textfront"));
    split_text_ = new QSplitter(Qt::Horizontal, front_);
    split_text_->setObjectName(QStringLiteral("split_text"));
    split_text_->setChildrenCollapsible(false);
    split_text_->setHandleWidth(0);
    textmemo_ = makeEditor(QStringLiteral("textmemo"));
    textmemo2_ = makeEditor(QStringLiteral("textmemo2"));
    split_text_->addWidget(textmemo_);
    split_text_->addWidget(textmemo2_);
    textmemo2_->hide();
    textmemo_->setEnabled(false); // until a file is shown
    texthex_ = new HexWidget(QStringLiteral("texthex"), front_);
    texthex_->installEventFilter(this);
    connect(texthex_, &HexWidget::selectionChanged, this, &TextView::updateButtons);
    connect(texthex_, &HexWidget::copyRefused, this,
            [this] { ctx_.prompter().info(ctx_.msg(Msg::HexCopyTooLarge)); });
    front_->addWidget(split_text_);
    front_->addWidget(texthex_);

    stat_text_ = new PanelStatusBar(QStringLiteral("stat_text"), {0, 190}, pn_textmain_);
    stat_text_->setAutoFillBackground(true);
    auto *lay = static_cast<QVBoxLayout *>(pn_textmain_->layout());
    lay->addWidget(front_, 1);
    lay->addWidget(stat_text_);
}

QToolButton *TextView::button(const char *name) const
{
    return pn_textmain_->findChild<QToolButton *>(QString::fromLatin1(name));
}

int TextView::hexColumns() const
{
    return texthex_->bytesPerLine();
}
int TextView::fontSize() const
{
    return fontSize_;
}

void TextView::applyTexts()
{
    writeStatus();
}

// ---------------------------------------------------------------------------------------------
// Showing a file

QString TextView::editorText(const QPlainTextEdit *editor)
{
    // toPlainText() would turn no-break spaces into blanks and line separators into breaks.
    QString text = editor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

bool TextView::edited(const QPlainTextEdit *editor) const
{
    return editor->document()->isModified() && !editor->isReadOnly() && editor->isEnabled();
}

bool TextView::askAndSave(bool first)
{
    const Answer a = ctx_.prompter().message(ctx_.msg(first ? Msg::TextSaveChanges : Msg::TextSaveChanges2),
                                             Answer::Yes | Answer::No | Answer::Cancel, PromptIcon::Question);
    if (a == Answer::Yes)
        return saveEditor(first); // a cancelled dialog keeps the edit
    if (a != Answer::No)
        return false;
    (first ? textmemo_ : textmemo2_)->document()->setModified(false);
    return true;
}

bool TextView::mayLeave(bool both)
{
    if (edited(textmemo_) && !askAndSave(true)) {
        updateButtons();
        return false;
    }
    if (both && edited(textmemo2_) && !askAndSave(false)) {
        updateButtons();
        return false;
    }
    updateButtons();
    return true;
}

bool TextView::isLoading(bool second) const
{
    return second ? loadJob2_->isRunning() || filler2_->isFilling()
                  : loadJob_->isRunning() || filler1_->isFilling();
}

void TextView::stopLoading()
{
    loadJob_->cancel();
    filler1_->stop();
}

const TextDocument *TextView::readResult(Job *job, const QString &path)
{
    if (job->wasCancelled() || !job->hasResult())
        return nullptr;
    const auto r = job->result<std::shared_ptr<LoadResult>>();
    if (r->ok)
        return &r->doc;
    ctx_.prompter().error(ctx_.msg(Msg::CouldNotRead) + QDir::toNativeSeparators(path) +
                          QStringLiteral("\n") + r->error);
    return nullptr;
}

namespace
{
void start_read(Job *job, const QString &path)
{
    job->start([path](JobToken &) {
        auto r = std::make_shared<LoadResult>();
        r->ok = read_text_document(path, &r->doc, &r->error);
        return r;
    });
}
} // namespace

void TextView::releaseFile()
{
    if (edited(textmemo_))
        return;
    stopLoading();
    textmemo_->clear();
    textmemo_->document()->setModified(false);
    textmemo_->setEnabled(false);
    texthex_->clear();
    path_.clear();
    stat_text_->setPanelText(0, QString());
    stat_text_->setPanelText(1, QString());
    updateButtons();
}

void TextView::showTextFile(const QString &path)
{
    if (!mayLeave(false))
        return;
    stopLoading();
    const PathInfo info = path_info(path);
    if (path.isEmpty() || !info.isFile) {
        ctx_.prompter().info(ctx_.msg(Msg::NoFilesSelected));
        textmemo_->setEnabled(false);
        updateButtons();
        return;
    }
    // The dump comes at once: the file is mapped, not read.
    texthex_->openFile(path);
    path_ = path;
    if (info.size <= kLoadAtOnce) {
        TextDocument doc;
        QString error;
        if (!read_text_document(path, &doc, &error)) {
            ctx_.prompter().error(ctx_.msg(Msg::CouldNotRead) + QDir::toNativeSeparators(path) +
                                  QStringLiteral("\n") + error);
            textmemo_->setEnabled(false);
            updateButtons();
            return;
        }
        fillEditor(doc);
        return;
    }
    // A large file: read and decoded on the pool, then filled in pieces.
    textmemo_->setEnabled(true);
    textmemo_->clear();
    textmemo_->setReadOnly(true);
    truncated_ = linesCut_ = false;
    stat_text_->setPanelText(0, QDir::toNativeSeparators(path_));
    stat_text_->setPanelText(1, QString());
    start_read(loadJob_, path);
    updateButtons();
}

void TextView::fillEditor(const TextDocument &doc)
{
    textmemo_->setEnabled(true);
    doc1_ = doc.format;
    truncated_ = doc.truncated;
    linesCut_ = doc.linesCut;
    writeStatus();
    filler1_->fill(doc.text, truncated_ || linesCut_);
}

void TextView::fillEditor2(const TextDocument &doc)
{
    doc2_ = doc.format;
    filler2_->fill(doc.text, doc.truncated || doc.linesCut);
    textmemo2_->setFocus(Qt::OtherFocusReason);
    active_ = Active::Editor2;
}

void TextView::writeStatus()
{
    if (path_.isEmpty())
        return;
    stat_text_->setPanelText(0, QDir::toNativeSeparators(path_));
    if (truncated_)
        stat_text_->setPanelText(1, ctx_.msg(Msg::TextTruncated));
    else if (linesCut_)
        stat_text_->setPanelText(1, ctx_.msg(Msg::TextLinesCut));
    else
        stat_text_->setPanelText(1, (doc1_.utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Windows-1252")) +
                                        QStringLiteral(", ") + line_end_name(doc1_.lineEnd));
    stat_text_->panel(1)->setToolTip(stat_text_->panelText(1));
}

// ---------------------------------------------------------------------------------------------
// Buttons

void TextView::onFocusChanged(QWidget *now)
{
    if (!now)
        return;
    Active a = active_;
    if (now == textmemo_)
        a = Active::Editor1;
    else if (now == textmemo2_)
        a = Active::Editor2;
    else if (now == texthex_)
        a = Active::Hex;
    else if (qobject_cast<FileListView *>(now) || qobject_cast<FileListView *>(now->parentWidget()))
        a = Active::List;
    else
        return;
    if (a != active_) {
        active_ = a;
        updateButtons();
    }
}

void TextView::updateButtons()
{
    // Everything off; nothing more while the list is in front or the editor is off.
    for (QToolButton *b : {bt_textsave_, bt_textpaste_, bt_textcopy_, bt_textcut_, bt_textclear_, bt_colsup_,
                           bt_colsdown_, bt_fontup_, bt_fontdown_, bt_textload_, bt_textmemo2_, bt_texthex_})
        b->setEnabled(false);
    if (active_ == Active::List || !textmemo_->isEnabled())
        return;
    // The second editor and the hex view can be switched.
    bt_textmemo2_->setEnabled(true);
    bt_texthex_->setEnabled(true);
    const bool hex = active_ == Active::Hex;
    QPlainTextEdit *editor = active_ == Active::Editor1   ? textmemo_
                             : active_ == Active::Editor2 ? textmemo2_
                                                          : nullptr;
    // Save: a changed text, not in the hex view.
    const bool modified = edited(textmemo_) || (textmemo2_->isVisible() && edited(textmemo2_));
    bt_textsave_->setEnabled(modified && !hex);
    // Paste: text on the clipboard and an editor that may be changed.
    const QMimeData *clip = QGuiApplication::clipboard() ? QGuiApplication::clipboard()->mimeData() : nullptr;
    bt_textpaste_->setEnabled(clip && clip->hasText() && !hex && !(editor && editor->isReadOnly()));
    // Copy, cut and clear: a selection in the editor.
    const bool selected = editor && editor->textCursor().hasSelection();
    bt_textcopy_->setEnabled(selected);
    bt_textcut_->setEnabled(selected && !editor->isReadOnly());
    bt_textclear_->setEnabled(selected && !editor->isReadOnly());
    // Columns: within their range, in the hex view.
    const int c = pn_hexcols_->text().toInt();
    bt_colsup_->setEnabled(c < kMaxCols && hex);
    bt_colsdown_->setEnabled(c > kMinCols && hex);
    // Font size: within its range.
    const int s = pn_fontsize_->text().toInt();
    bt_fontup_->setEnabled(s < kMaxFont);
    bt_fontdown_->setEnabled(s > kMinFont);
    // Load: into the second editor while it is shown.
    bt_textload_->setEnabled(bt_textmemo2_->isChecked());
}

void TextView::textmemoSelectionChange()
{
    updateButtons();
}

bool TextView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == textmemo_ || watched == textmemo2_ || watched == texthex_)
            onFocusChanged(static_cast<QWidget *>(watched));
    }
    return QObject::eventFilter(watched, event);
}

void TextView::bt_textnormClick()
{
    bt_textnorm_->setChecked(true);
    front_->setCurrentWidget(split_text_);
    textmemo_->setFocus(Qt::OtherFocusReason);
    active_ = Active::Editor1;
    updateButtons();
}

void TextView::bt_texthexClick()
{
    bt_texthex_->setChecked(true);
    front_->setCurrentWidget(texthex_);
    texthex_->setFocus(Qt::OtherFocusReason);
    active_ = Active::Hex;
    updateButtons();
}

void TextView::bt_textmemo2Click()
{
    if (bt_textmemo2_->isChecked()) {
        const int w = pn_textmain_->width();
        split_text_->setHandleWidth(kSplitterWidth);
        textmemo2_->show();
        front_->setCurrentWidget(split_text_);
        bt_textnorm_->setChecked(true);
        split_text_->setSizes({w - w / 2 - kSplitterWidth, w / 2});
        if (active_ == Active::Hex)
            active_ = Active::None;
    } else {
        split_text_->setHandleWidth(0);
        textmemo2_->hide();
        if (active_ == Active::Editor2) {
            textmemo_->setFocus(Qt::OtherFocusReason);
            active_ = Active::Editor1;
        }
    }
    updateButtons();
}

QString TextView::dialogFilter() const
{
    // The user mask ("*.txt;*.log") as the dialog's filter; none without a user mask.
    QString mask = ctx_.filter().userText;
    mask.replace(QLatin1Char(','), QLatin1Char(';'));
    return mask.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' ')).trimmed();
}

void TextView::bt_textloadClick()
{
    const QString start = loadPath_.isEmpty() ? QDir::homePath() : QFileInfo(loadPath_).path();
    const QString file = ctx_.prompter().openFileName(ctx_.msg(Msg::OpenFile), start, dialogFilter());
    if (file.isEmpty())
        return;
    // The second editor's own unsaved edits are asked about before they are replaced.
    if (edited(textmemo2_) && !askAndSave(false))
        return;
    loadJob2_->cancel();
    filler2_->stop();
    if (QFileInfo(file).size() > kLoadAtOnce) {
        // Read on the pool, then filled in pieces; the editor is read-only meanwhile.
        loadPath_ = file;
        textmemo2_->clear();
        textmemo2_->setReadOnly(true);
        start_read(loadJob2_, file);
        updateButtons();
        return;
    }
    TextDocument doc;
    QString error;
    if (!read_text_document(file, &doc, &error)) {
        ctx_.prompter().error(ctx_.msg(Msg::CouldNotRead) + QDir::toNativeSeparators(file) +
                              QStringLiteral("\n") + error);
        return;
    }
    loadPath_ = file;
    fillEditor2(doc);
    updateButtons();
}

bool TextView::saveEditor(bool first)
{
    QPlainTextEdit *editor = first ? textmemo_ : textmemo2_;
    const QString proposed = first ? path_ : loadPath_;
    const QString file =
        ctx_.prompter().saveFileName(ctx_.msg(first ? Msg::SaveEditor1 : Msg::SaveEditor2),
                                     proposed.isEmpty() ? QDir::homePath() : proposed, dialogFilter());
    if (file.isEmpty())
        return false;
    // The text in the file's encoding and line ends; what Windows-1252 cannot hold is asked
    // about before anything is written.
    const QString text = editorText(editor);
    TextFormat format = first ? doc1_ : doc2_;
    QByteArray bytes;
    TextFormat written;
    if (!encode_document(text, format, &bytes, &written)) {
        if (!ctx_.prompter().askYesNo(ctx_.msg(Msg::TextNotInEncoding)))
            return false;
        format.utf8 = true;
        format.bom = false;
        encode_document(text, format, &bytes, &written);
    }
    QString error;
    if (!write_file_atomic(file, bytes, &error)) {
        ctx_.prompter().error(ctx_.msg(Msg::WriteFailed) + QDir::toNativeSeparators(file) +
                              QStringLiteral("\n") + error);
        return false;
    }
    editor->document()->setModified(false);
    // The file shown (or loaded) now holds what was written: later saves compare against it.
    if (first && QFileInfo(file) == QFileInfo(path_)) {
        doc1_ = written;
        texthex_->openFile(path_); // the dump follows the saved file
        writeStatus();
    } else if (!first && QFileInfo(file) == QFileInfo(loadPath_)) {
        doc2_ = written;
    }
    return true;
}

void TextView::bt_textsaveClick()
{
    if (active_ == Active::Editor1 || (active_ == Active::None && textmemo_->document()->isModified()))
        saveEditor(true);
    else if (active_ == Active::Editor2)
        saveEditor(false);
    updateButtons();
}

void TextView::bt_textclearClick()
{
    QPlainTextEdit *editor = active_ == Active::Editor1   ? textmemo_
                             : active_ == Active::Editor2 ? textmemo2_
                                                          : nullptr;
    auto *b = qobject_cast<QToolButton *>(sender());
    if (!editor || !b)
        return;
    switch (b->property("tag").toInt()) {
    case kTagClear:
        editor->textCursor().removeSelectedText();
        break;
    case kTagCut:
        QGuiApplication::clipboard()->clear();
        editor->cut();
        break;
    case kTagCopy:
        QGuiApplication::clipboard()->clear();
        editor->copy();
        break;
    case kTagPaste:
        editor->paste();
        break;
    default:
        break;
    }
    updateButtons();
}

void TextView::bt_colsupClick()
{
    auto *b = qobject_cast<QToolButton *>(sender());
    if (!b)
        return;
    // The columns and font size now, stepped by 2 within their ranges.
    int c = texthex_->bytesPerLine();
    int s = fontSize_;
    switch (b->property("tag").toInt()) {
    case kTagColsUp:
        if (c < kMaxCols)
            c += 2;
        break;
    case kTagColsDown:
        if (c > kMinCols)
            c -= 2;
        break;
    case kTagFontUp:
        if (s < kMaxFont)
            s += 2;
        break;
    case kTagFontDown:
        if (s > kMinFont)
            s -= 2;
        break;
    default:
        return;
    }
    pn_hexcols_->setText(QString::number(c));
    pn_fontsize_->setText(QString::number(s));
    // The dump is laid out anew at once; the file stays mapped.
    fontSize_ = s;
    for (QPlainTextEdit *e : {textmemo_, textmemo2_}) {
        QFont f = e->font();
        f.setPointSize(s);
        e->setFont(f);
    }
    texthex_->setFontPointSize(s);
    texthex_->setBytesPerLine(c);
    updateButtons();
}

} // namespace vorn
