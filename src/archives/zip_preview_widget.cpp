#include "archives/zip_preview_widget.h"

#include "base/text_file.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QStackedLayout>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace vorn
{

namespace
{

constexpr qint64 kTextLimit = 8 << 20; // more is not shown in the small preview
constexpr qint64 kHexLimit = 1 << 20;

QByteArray readHead(const QString &path, qint64 limit, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.read(limit) : QByteArray();
}

// A text browser that never fetches images or other resources.
class NoImageBrowser : public QTextBrowser
{
  public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl &name) override
    {
        if (type == QTextDocument::ImageResource)
            return {};
        return QTextBrowser::loadResource(type, name);
    }
};

} // namespace

QString zip_hex_text(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size() * 3);
    static const char digits[] = "0123456789abcdef";
    for (qsizetype line = 0; line < bytes.size(); line += 24) {
        out += QStringLiteral("%1  ").arg(line, 8, 16, QLatin1Char('0'));
        for (qsizetype i = line; i < std::min<qsizetype>(line + 24, bytes.size()); ++i) {
            const uchar b = uchar(bytes[i]);
            out += QLatin1Char(digits[b >> 4]);
            out += QLatin1Char(digits[b & 15]);
            if ((i - line) % 2 == 1)
                out += QLatin1Char(' ');
        }
        out += QLatin1Char('\n');
    }
    return out;
}

ZipPreviewWidget::ZipPreviewWidget(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pn_zipout"));
    setFrameShape(QFrame::StyledPanel);
    stack_ = new QStackedLayout(this);
    blank_ = new QWidget(this);
    stack_->addWidget(blank_);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    zipmemo_ = new QPlainTextEdit(this);
    zipmemo_->setObjectName(QStringLiteral("zipmemo"));
    zipmemo_->setReadOnly(true);
    zipmemo_->setLineWrapMode(QPlainTextEdit::NoWrap);
    stack_->addWidget(zipmemo_);

    auto imageArea = [this](const char *name, QLabel **label) {
        auto *area = new QScrollArea(this);
        *label = new QLabel(area);
        (*label)->setObjectName(QString::fromLatin1(name));
        (*label)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        area->setWidget(*label);
        area->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        stack_->addWidget(area);
    };
    imageArea("zipimage", &zipimage_);
    imageArea("zipgif", &zipgif_);

    ziphtml_ = new NoImageBrowser(this);
    ziphtml_->setObjectName(QStringLiteral("ziphtml"));
    ziphtml_->setOpenLinks(false);
    stack_->addWidget(ziphtml_);

    ziphex_ = new QPlainTextEdit(this);
    ziphex_->setObjectName(QStringLiteral("ziphex"));
    ziphex_->setReadOnly(true);
    ziphex_->setFont(fixed);
    ziphex_->setLineWrapMode(QPlainTextEdit::NoWrap);
    stack_->addWidget(ziphex_);

    pn_zipmovie_ = new QFrame(this);
    pn_zipmovie_->setObjectName(QStringLiteral("pn_zipmovie"));
    auto *movieLayout = new QVBoxLayout(pn_zipmovie_);
    movieNote_ = new QLabel(pn_zipmovie_);
    movieNote_->setWordWrap(true);
    movieLayout->addWidget(movieNote_);
    movieLayout->addStretch();
    stack_->addWidget(pn_zipmovie_);

    connect(zipmemo_, &QPlainTextEdit::selectionChanged, this, &ZipPreviewWidget::copyStateChanged);
    connect(ziphtml_, &QTextBrowser::selectionChanged, this, &ZipPreviewWidget::copyStateChanged);
    clear();
}

void ZipPreviewWidget::bringUp(QWidget *w)
{
    QWidget *page = w;
    while (page && page->parentWidget() != this)
        page = page->parentWidget();
    stack_->setCurrentWidget(page ? page : blank_);
    w->show();
}

void ZipPreviewWidget::clear()
{
    if (movie_) {
        movie_->stop();
        zipgif_->setMovie(nullptr);
        delete movie_;
        movie_ = nullptr;
    }
    zipmemo_->clear();
    ziphtml_->clear();
    ziphex_->clear();
    zipimage_->clear();
    zipimage_->resize(0, 0);
    zipgif_->resize(0, 0);
    for (QWidget *w : {static_cast<QWidget *>(zipmemo_), static_cast<QWidget *>(ziphtml_),
                       static_cast<QWidget *>(ziphex_), static_cast<QWidget *>(zipimage_),
                       static_cast<QWidget *>(zipgif_), static_cast<QWidget *>(pn_zipmovie_)})
        w->hide();
    stack_->setCurrentWidget(blank_);
    emit copyStateChanged();
}

bool ZipPreviewWidget::show(const QString &path, ZipPreviewKind kind, bool htmlSource,
                            const QString &videoNote)
{
    clear();
    bool ok = QFile::exists(path);
    if (!ok)
        return false;
    switch (kind) {
    case ZipPreviewKind::Text: {
        const QByteArray bytes = readHead(path, kTextLimit, &ok);
        zipmemo_->setPlainText(decode_text(bytes));
        bringUp(zipmemo_);
        break;
    }
    case ZipPreviewKind::Picture: {
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage image = reader.read();
        if (image.isNull())
            return false;
        zipimage_->setPixmap(QPixmap::fromImage(image));
        zipimage_->resize(image.size());
        bringUp(zipimage_);
        break;
    }
    case ZipPreviewKind::Gif: {
        movie_ = new QMovie(path, QByteArray(), this);
        if (!movie_->isValid())
            return false;
        zipgif_->setMovie(movie_);
        movie_->start();
        zipgif_->resize(movie_->currentImage().size());
        bringUp(zipgif_);
        break;
    }
    case ZipPreviewKind::Html: {
        const QByteArray bytes = readHead(path, kTextLimit, &ok);
        if (htmlSource)
            ziphtml_->setPlainText(decode_text(bytes));
        else
            ziphtml_->setHtml(decode_text(bytes));
        bringUp(ziphtml_);
        break;
    }
    case ZipPreviewKind::Video:
        movieNote_->setText(videoNote);
        bringUp(pn_zipmovie_);
        break;
    case ZipPreviewKind::Zip:
    case ZipPreviewKind::Hex: {
        const QByteArray bytes = readHead(path, kHexLimit, &ok);
        QString text = zip_hex_text(bytes);
        if (QFileInfo(path).size() > kHexLimit)
            text += QStringLiteral("...\n");
        ziphex_->setPlainText(text);
        bringUp(ziphex_);
        break;
    }
    }
    emit copyStateChanged();
    return ok;
}

bool ZipPreviewWidget::canCopy() const
{
    return (!zipmemo_->isHidden() && !zipmemo_->document()->isEmpty()) ||
           (!ziphtml_->isHidden() && ziphtml_->textCursor().hasSelection());
}

void ZipPreviewWidget::copySelection()
{
    if (ziphtml_->hasFocus() || (!ziphtml_->isHidden() && !zipmemo_->hasFocus())) {
        ziphtml_->copy();
        return;
    }
    if (zipmemo_->textCursor().hasSelection())
        zipmemo_->copy();
    else
        QApplication::clipboard()->setText(zipmemo_->toPlainText());
}

} // namespace vorn
