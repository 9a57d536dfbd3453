// The text view inside pn_textmain: the tool bar tbar_text, the editors textmemo and
// textmemo2 beside each other in split_text, the hex view texthex and the status bar
// stat_text. A routed file is shown at once as text and as a hex dump; the text can be
// edited and saved in the encoding and with the line ends it came with; a second editor loads
// any file. The view shows any file it is given, so the ZIP preview can use it without a list.
#pragma once

#include "files/file_viewer.h"
#include "viewers/documents/text_document.h"

#include <QObject>
#include <QPointer>

class QButtonGroup;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QWidget;

namespace vorn
{

class AppContext;
class CollapsibleToolBar;
class EditorFiller;
class HexWidget;
class Job;
class PanelStatusBar;

class TextView : public QObject, public FileViewer
{
    Q_OBJECT
  public:
    TextView(AppContext &ctx, QFrame *pn_textmain, int rowHeight, QObject *parent = nullptr);
    ~TextView() override;

    // FileViewer: Show text file. Release empties and disables the first editor, unless it
    // holds unsaved edits (those are only ever dropped on the user's answer).
    void showFile(const QString &path) override { showTextFile(path); }
    void releaseFile() override;
    // Asks about unsaved edits before they would be left: of the first editor, and with `both`
    // (the window closes) of the second too. Yes saves (a cancelled save dialog counts as
    // Cancel), No drops the edits, Cancel keeps them: false, the caller stays where it is.
    bool mayLeave(bool both);
    // The text of an editor as the user sees it, every character as it stands (no-break spaces,
    // line separators), lines joined by '\n'.
    static QString editorText(const QPlainTextEdit *editor);
    // A large file is read in the background and filled into the editor in pieces; the
    // editor is read-only meanwhile.
    bool isLoading(bool second = false) const;

    QPlainTextEdit *editor1() const { return textmemo_; }
    QPlainTextEdit *editor2() const { return textmemo2_; }
    HexWidget *hexView() const { return texthex_; }
    QSplitter *splitter() const { return split_text_; }
    PanelStatusBar *statusBar() const { return stat_text_; }
    CollapsibleToolBar *toolBar() const { return tbar_text_; }
    QToolButton *button(const char *name) const;
    QString currentFile() const { return path_; }
    const TextFormat &format1() const { return doc1_; }
    int hexColumns() const;
    int fontSize() const;

  public slots:
    void showTextFile(const QString &path);
    void bt_textnormClick();
    void bt_texthexClick();
    void bt_textmemo2Click();
    void bt_textloadClick();
    void bt_textsaveClick();
    void bt_textclearClick();
    void bt_colsupClick();
    void textmemoSelectionChange();
    void updateButtons();

  signals:
    // The shown file is in the editor completely.
    void loaded();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    enum class Active { None, Editor1, Editor2, Hex, List };

    void buildToolBar(int rowHeight);
    void buildBody();
    QToolButton *addButton(const char *name, bool checkable, int tag = 0);
    QPlainTextEdit *makeEditor(const QString &name);
    void applyTexts();
    void onFocusChanged(QWidget *now);
    QString dialogFilter() const;
    // Saves one editor through the save dialog; false when cancelled or failed.
    bool saveEditor(bool first);
    // Unsaved edits the user could lose (the editor is editable and changed).
    bool edited(const QPlainTextEdit *editor) const;
    bool askAndSave(bool first);
    void stopLoading();
    void fillEditor(const TextDocument &doc);
    void fillEditor2(const TextDocument &doc);
    // The outcome of a read on the pool: the document, or the message of a failure shown.
    const TextDocument *readResult(Job *job, const QString &path);
    void writeStatus();

    AppContext &ctx_;
    QFrame *pn_textmain_;
    CollapsibleToolBar *tbar_text_ = nullptr;
    QWidget *fup_text_ = nullptr;
    QButtonGroup *frontGroup_ = nullptr;
    QToolButton *bt_textnorm_ = nullptr;
    QToolButton *bt_texthex_ = nullptr;
    QToolButton *bt_textmemo2_ = nullptr;
    QToolButton *bt_textload_ = nullptr;
    QToolButton *bt_textsave_ = nullptr;
    QToolButton *bt_textclear_ = nullptr;
    QToolButton *bt_textcut_ = nullptr;
    QToolButton *bt_textcopy_ = nullptr;
    QToolButton *bt_textpaste_ = nullptr;
    QToolButton *bt_colsup_ = nullptr;
    QToolButton *bt_colsdown_ = nullptr;
    QToolButton *bt_fontup_ = nullptr;
    QToolButton *bt_fontdown_ = nullptr;
    QLabel *pn_hexcols_ = nullptr;
    QLabel *pn_fontsize_ = nullptr;
    QStackedWidget *front_ = nullptr;
    QSplitter *split_text_ = nullptr;
    QPlainTextEdit *textmemo_ = nullptr;
    QPlainTextEdit *textmemo2_ = nullptr;
    HexWidget *texthex_ = nullptr;
    PanelStatusBar *stat_text_ = nullptr;

    Active active_ = Active::None;
    QString path_;    // the shown file
    TextFormat doc1_; // how the shown file was stored
    bool truncated_ = false;
    bool linesCut_ = false;
    Job *loadJob_ = nullptr;  // reads the shown file
    Job *loadJob2_ = nullptr; // reads the file for the second editor
    EditorFiller *filler1_ = nullptr;
    EditorFiller *filler2_ = nullptr;
    QString loadPath_; // the file last chosen in dlg_loaduser
    TextFormat doc2_;
    int fontSize_ = 9; // the editors' font size in points (12 pixels at 96 dpi)
};

} // namespace vorn
