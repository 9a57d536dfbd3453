// The text view on the real main window: the button rules, hex columns and font steps, the
// second editor, load and save through the dialogs with unchanged bytes, the size limit, the
// question about unsaved edits, and the hex view over a large sparse file.
#include "app/view_stack_view.h"
#include "support/test_support.h"
#include "viewers/documents/text_view.h"
#include "widgets/hex_widget.h"
#include "widgets/panel_status_bar.h"

#include "app/function_bar_view.h"
#include "files/list_area_view.h"

#include <QClipboard>
#include <QFileSystemModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeView>

using namespace vorn;
using namespace vorn::test;

class TstTextView : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void cleanup();
    void showsFileAsTextAndHex();
    void noFile();
    void hexColumnsAndFont();
    void hexActiveDisablesEditing();
    void editCommands();
    void secondEditor();
    void roundTripUnchanged_data();
    void roundTripUnchanged();
    void saveEdited();
    void unsavedEditsAsked();
    void editorKeepsUntouchedBytes_data();
    void editorKeepsUntouchedBytes();
    void unencodableCharacterAsked();
    void leavingEditedTextAsks_data();
    void leavingEditedTextAsks();
    void closeAsksForBothEditors();
    void treeClickCancelledKeepsFolder();
    void largeFilesKeepWindowAnswering_data();
    void largeFilesKeepWindowAnswering();
    void secondEditorLoadsInPieces();
    void largeFileReadOnly();
    void sparseFourGigabytes();
    void hexSelectionCopies();

  private:
    TextView *view() const { return fx->window->textView(); }
    QToolButton *button(const char *name) const { return view()->button(name); }
    QString show(const QString &name, const QByteArray &bytes)
    {
        const QString p = fx->path(name);
        writeFile(p, bytes);
        fx->window->show_file(p);
        return p;
    }
    std::unique_ptr<WindowFixture> fx;
};

void TstTextView::init()
{
    fx = std::make_unique<WindowFixture>();
    fx->start();
    fx->window->resize(1000, 700);
    QApplication::setActiveWindow(fx->window.get());
    QCoreApplication::processEvents();
}

void TstTextView::cleanup()
{
    if (fx->window)
        fx->closeConfirmed();
    fx.reset();
}

void TstTextView::showsFileAsTextAndHex()
{
    QVERIFY(!button("bt_texthex")->isEnabled()); // disabled at start
    const QString p = show(QStringLiteral("notes.txt"), "one\ntwo\n");
    QCOMPARE(fx->window->views()->front(), View::Text);
    QCOMPARE(view()->editor1()->toPlainText(), QStringLiteral("one\ntwo"));
    QCOMPARE(view()->hexView()->size(), qint64(8));
    QCOMPARE(view()->hexView()->lineText(0).left(19), QStringLiteral("00000000: 6f6e 650a"));
    QCOMPARE(view()->statusBar()->panelText(0), p);
    QVERIFY(button("bt_texthex")->isEnabled());
    QVERIFY(button("bt_textmemo2")->isEnabled());
    QVERIFY(button("bt_textnorm")->isChecked());
    QCOMPARE(fx->find<QLabel>(QStringLiteral("pn_hexcols"))->text(), QStringLiteral("16"));
    QCOMPARE(fx->find<QLabel>(QStringLiteral("pn_fontsize"))->text(), QStringLiteral("8"));
}

void TstTextView::noFile()
{
    view()->showTextFile(QString());
    QCOMPARE(fx->prompter.lastMessage(), fx->window->context().msg(Msg::NoFilesSelected));
    QVERIFY(!view()->editor1()->isEnabled());
    QVERIFY(!button("bt_texthex")->isEnabled());
}

void TstTextView::hexColumnsAndFont()
{
    show(QStringLiteral("a.bin"), QByteArray(100, 'x'));
    button("bt_texthex")->click();
    QCOMPARE(fx->window->findChild<QStackedWidget *>(QStringLiteral("pn_textfront"))->currentWidget(),
             view()->hexView());
    auto *cols = fx->find<QLabel>(QStringLiteral("pn_hexcols"));
    QVERIFY(button("bt_colsup")->isEnabled());
    for (int i = 0; i < 4; ++i)
        button("bt_colsup")->click();
    QCOMPARE(view()->hexColumns(), 24);
    QCOMPARE(cols->text(), QStringLiteral("24"));
    QVERIFY(!button("bt_colsup")->isEnabled());
    for (int i = 0; i < 10; ++i) {
        QVERIFY(button("bt_colsdown")->isEnabled());
        button("bt_colsdown")->click();
    }
    QCOMPARE(view()->hexColumns(), 4);
    QVERIFY(!button("bt_colsdown")->isEnabled());
    QCOMPARE(view()->hexView()->lineText(1), QStringLiteral("00000004: 7878 7878  xxxx"));

    // Font: 9 points at start; up in steps of 2 until 14 or more.
    auto *font = fx->find<QLabel>(QStringLiteral("pn_fontsize"));
    QCOMPARE(font->text(), QStringLiteral("9")); // shown since the first click of the four
    button("bt_fontup")->click();
    QCOMPARE(font->text(), QStringLiteral("11"));
    QCOMPARE(view()->editor1()->font().pointSize(), 11);
    QCOMPARE(view()->hexView()->fontPointSize(), 11);
    button("bt_fontup")->click();
    button("bt_fontup")->click();
    QCOMPARE(font->text(), QStringLiteral("15"));
    QVERIFY(!button("bt_fontup")->isEnabled());
    for (int i = 0; i < 4; ++i)
        button("bt_fontdown")->click();
    QCOMPARE(font->text(), QStringLiteral("7"));
    QVERIFY(!button("bt_fontdown")->isEnabled());
    QCOMPARE(view()->editor2()->font().pointSize(), 7);
}

void TstTextView::hexActiveDisablesEditing()
{
    show(QStringLiteral("a.txt"), "some text");
    view()->bt_textnormClick();
    view()->editor1()->selectAll();
    view()->editor1()->insertPlainText(QStringLiteral("changed"));
    view()->editor1()->selectAll();
    QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    for (const char *n : {"bt_textcut", "bt_textcopy", "bt_textpaste", "bt_textclear", "bt_textsave"})
        QVERIFY2(button(n)->isEnabled(), n);
    QVERIFY(!button("bt_colsup")->isEnabled()); // only with the hex view active
    button("bt_texthex")->click();
    for (const char *n : {"bt_textcut", "bt_textcopy", "bt_textpaste", "bt_textclear", "bt_textsave"})
        QVERIFY2(!button(n)->isEnabled(), n);
    QVERIFY(button("bt_colsup")->isEnabled());
    QVERIFY(button("bt_texthex")->isEnabled());
}

void TstTextView::editCommands()
{
    show(QStringLiteral("a.txt"), "alpha beta");
    view()->bt_textnormClick();
    QPlainTextEdit *e = view()->editor1();
    QTextCursor c = e->textCursor();
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    e->setTextCursor(c);
    button("bt_textcut")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("alpha"));
    QCOMPARE(e->toPlainText(), QStringLiteral(" beta"));
    c.setPosition(e->toPlainText().size());
    e->setTextCursor(c);
    button("bt_textpaste")->click();
    QCOMPARE(e->toPlainText(), QStringLiteral(" betaalpha"));
    e->selectAll();
    button("bt_textclear")->click();
    QCOMPARE(e->toPlainText(), QString());
    QVERIFY(!button("bt_textclear")->isEnabled());
}

void TstTextView::secondEditor()
{
    show(QStringLiteral("first.txt"), "first editor text");
    QVERIFY(!button("bt_textload")->isEnabled());
    button("bt_textmemo2")->click();
    QCoreApplication::processEvents();
    QVERIFY(view()->editor2()->isVisible());
    QVERIFY(button("bt_textload")->isEnabled());
    const int w = fx->window->views()->panel(View::Text)->width();
    QCOMPARE(view()->splitter()->handleWidth(), 2);
    QCOMPARE(view()->editor2()->width(), w / 2);
    QCOMPARE(view()->editor1()->width(), w - w / 2 - 2);

    const QString other = fx->path(QStringLiteral("sub/second.txt"));
    writeFile(other, "second\r\nfile\r\n");
    fx->prompter.pushText(other);
    button("bt_textload")->click();
    QCOMPARE(fx->prompter.records().last().kind, ScriptedPrompter::Kind::OpenFile);
    QCOMPARE(fx->prompter.records().last().text, QStringLiteral("Open File"));
    QCOMPARE(view()->editor2()->toPlainText(), QStringLiteral("second\nfile"));

    // Ctrl+A in the second editor selects its text only.
    QTest::keyClick(view()->editor2(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(view()->editor2()->textCursor().selectedText(), QStringLiteral("second\u2029file"));
    QVERIFY(!view()->editor1()->textCursor().hasSelection());

    // Saving the second editor proposes the file it came from.
    view()->editor2()->appendPlainText(QStringLiteral("more"));
    const QString target = fx->path(QStringLiteral("saved2.txt"));
    fx->prompter.pushText(target);
    button("bt_textsave")->click();
    QCOMPARE(fx->prompter.records().last().text, QStringLiteral("Save Editor #2"));
    QCOMPARE(readFile(target), QByteArray("second\r\nfile\r\nmore\r\n"));

    button("bt_textmemo2")->click();
    QVERIFY(!view()->editor2()->isVisible());
    QCOMPARE(view()->splitter()->handleWidth(), 0);
    QVERIFY(!button("bt_textload")->isEnabled());
}

void TstTextView::roundTripUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("Windows-1252") << QByteArray("Gr\xFC\xDF"
                                                "e \x80 10\r\nZeile 2\r\n");
    QTest::newRow("CR only") << QByteArray("line 1\rline 2\r\rline 4");
    QTest::newRow("UTF-8 with BOM, mixed ends") << QByteArray("\xEF\xBB\xBF\xC3\xA4\r\nb\nc\r");
}

void TstTextView::roundTripUnchanged()
{
    QFETCH(QByteArray, bytes);
    const QString p = show(QStringLiteral("orig.txt"), bytes);
    view()->bt_textnormClick();
    const QString target = fx->path(QStringLiteral("copy.txt"));
    fx->prompter.pushText(target);
    view()->bt_textsaveClick();
    QCOMPARE(fx->prompter.records().last().text, QStringLiteral("Save Editor #1"));
    QCOMPARE(readFile(target), bytes);
    QCOMPARE(readFile(p), bytes);
}

void TstTextView::saveEdited()
{
    const QString p = show(QStringLiteral("e.txt"), "a\r\nb\r\n");
    view()->bt_textnormClick();
    QVERIFY(!button("bt_textsave")->isEnabled());
    view()->editor1()->moveCursor(QTextCursor::End);
    view()->editor1()->insertPlainText(QStringLiteral("c"));
    QVERIFY(button("bt_textsave")->isEnabled());
    // Cancelling the dialog changes nothing.
    fx->prompter.pushText(QString());
    button("bt_textsave")->click();
    QCOMPARE(readFile(p), QByteArray("a\r\nb\r\n"));
    fx->prompter.pushText(p);
    button("bt_textsave")->click();
    QCOMPARE(readFile(p), QByteArray("a\r\nbc\r\n"));
    QVERIFY(!button("bt_textsave")->isEnabled());
    QCOMPARE(view()->hexView()->size(), qint64(7)); // the dump follows the saved file
}

void TstTextView::unsavedEditsAsked()
{
    const QString p = show(QStringLiteral("one.txt"), "one");
    view()->editor1()->insertPlainText(QStringLiteral("edited "));
    fx->prompter.pushAnswer(Answer::Yes);
    fx->prompter.pushText(p);
    show(QStringLiteral("two.txt"), "two");
    QVERIFY(fx->prompter.messages().contains(fx->window->context().msg(Msg::TextSaveChanges)));
    QCOMPARE(readFile(p), QByteArray("edited one"));
    QCOMPARE(view()->editor1()->toPlainText(), QStringLiteral("two"));

    // Discarding keeps the file as it was.
    view()->editor1()->insertPlainText(QStringLiteral("x"));
    fx->prompter.pushAnswer(Answer::No);
    show(QStringLiteral("three.txt"), "three");
    QCOMPARE(readFile(fx->path(QStringLiteral("two.txt"))), QByteArray("two"));
}

void TstTextView::editorKeepsUntouchedBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("saved"); // after "z" and a line break typed at the top
    QTest::newRow("mixed line ends") << QByteArray("a\nb\r\nc\rd\n") << QByteArray("z\na\nb\r\nc\rd\n");
    QTest::newRow("UTF-8 no-break space, U+2028, U+2029")
        << QByteArray("x\xC2\xA0y\xE2\x80\xA8z\xE2\x80\xA9w\r\n")
        << QByteArray("z\r\nx\xC2\xA0y\xE2\x80\xA8z\xE2\x80\xA9w\r\n");
    QTest::newRow("Windows-1252 no-break space")
        << QByteArray("caf\xE9\xA0!\n") << QByteArray("z\ncaf\xE9\xA0!\n");
    QTest::newRow("binary") << QByteArray("\x00\xA0\x01\xFF\r\n\x7F", 7)
                            << QByteArray("z\r\n\x00\xA0\x01\xFF\r\n\x7F", 10);
}

void TstTextView::editorKeepsUntouchedBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, saved);
    const QString p = show(QStringLiteral("keep.txt"), bytes);
    view()->bt_textnormClick();
    QTextCursor c = view()->editor1()->textCursor();
    c.movePosition(QTextCursor::Start);
    view()->editor1()->setTextCursor(c);
    QTest::keyClicks(view()->editor1(), QStringLiteral("z"));
    QTest::keyClick(view()->editor1(), Qt::Key_Return);
    fx->prompter.pushText(p);
    button("bt_textsave")->click();
    QCOMPARE(readFile(p), saved);
}

void TstTextView::unencodableCharacterAsked()
{
    const QString p = show(QStringLiteral("w.txt"), "caf\xE9\r\n");
    QCOMPARE(view()->statusBar()->panelText(1), QStringLiteral("Windows-1252, CR LF"));
    view()->bt_textnormClick();
    view()->editor1()->moveCursor(QTextCursor::End);
    view()->editor1()->insertPlainText(QString(QChar(0x4E2D)));
    // No: nothing is written, the edit stays.
    fx->prompter.pushText(p);
    fx->prompter.pushAnswer(Answer::No);
    button("bt_textsave")->click();
    QCOMPARE(fx->prompter.lastMessage(), fx->window->context().msg(Msg::TextNotInEncoding));
    QCOMPARE(readFile(p), QByteArray("caf\xE9\r\n"));
    QVERIFY(view()->editor1()->document()->isModified());
    // Yes: the file becomes UTF-8, and the status bar says so.
    fx->prompter.pushText(p);
    fx->prompter.pushAnswer(Answer::Yes);
    button("bt_textsave")->click();
    QCOMPARE(readFile(p), QByteArray("caf\xC3\xA9\xE4\xB8\xAD\r\n"));
    QCOMPARE(view()->statusBar()->panelText(1), QStringLiteral("UTF-8, CR LF"));
}

namespace
{
enum Leave { OtherText, HtmlPage, Picture, Folder, ViewButton, Close };
}

void TstTextView::leavingEditedTextAsks_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("dialogCancelled"); // Yes, then the save dialog is cancelled
    for (const auto &[name, how] :
         {std::pair{"another text file", OtherText}, std::pair{"an HTML page", HtmlPage},
          std::pair{"a picture", Picture}, std::pair{"a folder", Folder},
          std::pair{"a view button", ViewButton}, std::pair{"closing", Close}}) {
        QTest::addRow("%s, Cancel", name) << int(how) << int(Answer::Cancel) << false;
        QTest::addRow("%s, Yes, dialog cancelled", name) << int(how) << int(Answer::Yes) << true;
        QTest::addRow("%s, No", name) << int(how) << int(Answer::No) << false;
    }
}

void TstTextView::leavingEditedTextAsks()
{
    QFETCH(int, how);
    QFETCH(int, answer);
    QFETCH(bool, dialogCancelled);
    const QString folder = fx->path(QStringLiteral("files"));
    const QString other = folder + QStringLiteral("/other.txt");
    const QString page = folder + QStringLiteral("/page.htm");
    const QString picture = folder + QStringLiteral("/pic.bmp");
    writeFile(other, "other");
    writeFile(page, "<html><body>page</body></html>");
    QImage(4, 4, QImage::Format_RGB32).save(picture);
    const QString p = show(QStringLiteral("files/edited.txt"), "text\n");
    view()->bt_textnormClick();
    view()->editor1()->insertPlainText(QStringLiteral("my "));
    const QString listed = fx->window->listArea()->listedFolder();
    fx->prompter.clear();
    fx->prompter.pushAnswer(Answer(answer));
    if (dialogCancelled)
        fx->prompter.pushText(QString());
    switch (how) {
    case OtherText:
        fx->window->show_file(other);
        break;
    case HtmlPage:
        fx->window->show_file(page);
        break;
    case Picture:
        fx->window->show_file(picture);
        break;
    case Folder:
        fx->window->listArea()->openFolder(fx->path(QString()));
        break;
    case ViewButton:
        fx->window->functionBar()->findChild<QToolButton *>(QStringLiteral("bt_showzip"))->click();
        break;
    case Close:
        fx->prompter.clear();
        fx->prompter.pushAnswer(Answer::Yes); // "Close this application?"
        fx->prompter.pushAnswer(Answer(answer));
        if (dialogCancelled)
            fx->prompter.pushText(QString());
        fx->window->close();
        break;
    }
    QVERIFY(fx->prompter.messages().contains(fx->window->context().msg(Msg::TextSaveChanges)));
    QCOMPARE(readFile(p), QByteArray("text\n"));
    if (answer == int(Answer::No)) {
        // The edit is dropped on the user's word; the view moves on.
        if (how == Close) {
            QVERIFY(!fx->window->isVisible());
            fx->window.reset();
        } else if (how == Folder) {
            QVERIFY(!view()->editor1()->isEnabled());
            QVERIFY(view()->editor1()->toPlainText().isEmpty());
        } else {
            QVERIFY(fx->window->views()->front() != View::Text || how == OtherText);
        }
        return;
    }
    // Cancel at any point: the edit stays and so does the window where it was.
    QVERIFY(fx->window->isVisible());
    QCOMPARE(fx->window->views()->front(), View::Text);
    QCOMPARE(view()->editor1()->toPlainText(), QStringLiteral("my text"));
    QVERIFY(view()->editor1()->isEnabled());
    QVERIFY(view()->editor1()->document()->isModified());
    QCOMPARE(view()->currentFile(), p);
    if (how == Folder)
        QCOMPARE(fx->window->listArea()->listedFolder(), listed);
    if (how == ViewButton)
        QVERIFY(
            !fx->window->functionBar()->findChild<QToolButton *>(QStringLiteral("bt_showzip"))->isChecked());
    view()->editor1()->document()->setModified(false);
}

void TstTextView::closeAsksForBothEditors()
{
    show(QStringLiteral("one.txt"), "one");
    button("bt_textmemo2")->click();
    const QString second = fx->path(QStringLiteral("two.txt"));
    writeFile(second, "two");
    fx->prompter.pushText(second);
    button("bt_textload")->click();
    view()->editor2()->insertPlainText(QStringLiteral("edited "));
    fx->prompter.clear();
    fx->prompter.pushAnswer(Answer::Yes);    // close the application
    fx->prompter.pushAnswer(Answer::Cancel); // the second editor's edits
    fx->window->close();
    QVERIFY(fx->window->isVisible());
    QCOMPARE(fx->prompter.lastMessage(), fx->window->context().msg(Msg::TextSaveChanges2));
    // Asked again, Yes saves them and the window closes.
    fx->prompter.pushAnswer(Answer::Yes);
    fx->prompter.pushAnswer(Answer::Yes);
    fx->prompter.pushText(second);
    fx->window->close();
    QVERIFY(!fx->window->isVisible());
    QCOMPARE(readFile(second), QByteArray("edited two"));
    fx->window.reset();
}

void TstTextView::treeClickCancelledKeepsFolder()
{
    const QString other = fx->path(QStringLiteral("elsewhere"));
    QDir().mkpath(other);
    show(QStringLiteral("t.txt"), "text");
    view()->editor1()->insertPlainText(QStringLiteral("my "));
    QTreeView *tv = fx->window->listArea()->tree();
    auto *model = qobject_cast<QFileSystemModel *>(tv->model());
    QVERIFY(model);
    const QString listed = fx->window->listArea()->listedFolder();
    const QModelIndex before = tv->currentIndex();
    fx->prompter.clear();
    fx->prompter.pushAnswer(Answer::Cancel);
    tv->setCurrentIndex(model->index(other)); // as the keys move through the tree
    QCOMPARE(fx->prompter.messages(), QStringList{fx->window->context().msg(Msg::TextSaveChanges)});
    QCOMPARE(tv->currentIndex(), before);
    QCOMPARE(fx->window->listArea()->listedFolder(), listed);
    QCOMPARE(view()->editor1()->toPlainText(), QStringLiteral("my text"));
    view()->editor1()->document()->setModified(false);
}

void TstTextView::largeFilesKeepWindowAnswering_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("40 MB of lines") << QByteArray(79, 'x').append('\n') << (40 << 20) / 80 << true;
    QTest::newRow("one 8 MB line") << QByteArray(1 << 20, '{') << 8 << true;
    QTest::newRow("3 MB, editable") << QByteArray("some words on a line\n") << (3 << 20) / 21 << false;
}

void TstTextView::largeFilesKeepWindowAnswering()
{
    QFETCH(QByteArray, line);
    QFETCH(int, repeat);
    QFETCH(bool, readOnly);
    const QString p = fx->path(QStringLiteral("large.txt"));
    writeFile(p, line.repeated(repeat));
    // Events posted while the file loads are handled before it is in the editor.
    bool answered = false;
    bool loadedFirst = false;
    QTimer::singleShot(0, this, [&] { answered = true; });
    connect(view(), &TextView::loaded, this, [&] { loadedFirst = !answered; });
    fx->window->show_file(p);
    QVERIFY(view()->isLoading());
    QCOMPARE(view()->hexView()->size(), qint64(line.size()) * repeat); // the dump at once
    QTRY_VERIFY_WITH_TIMEOUT(!view()->isLoading(), 120000);
    QVERIFY(answered);
    QVERIFY(!loadedFirst);
    QCOMPARE(view()->editor1()->isReadOnly(), readOnly);
    QVERIFY(!view()->editor1()->document()->isModified());
    QVERIFY(view()->editor1()->toPlainText().startsWith(QString::fromLatin1(line.left(40))));
    disconnect(view(), &TextView::loaded, this, nullptr);
}

void TstTextView::secondEditorLoadsInPieces()
{
    show(QStringLiteral("first.txt"), "first");
    button("bt_textmemo2")->click();
    const QString big = fx->path(QStringLiteral("big2.txt"));
    writeFile(big, QByteArray("a line of the second file\r\n").repeated(100000));
    bool answered = false;
    QTimer::singleShot(0, this, [&] { answered = true; });
    fx->prompter.pushText(big);
    button("bt_textload")->click();
    QVERIFY(view()->isLoading(true));
    QVERIFY(!answered);
    QTRY_VERIFY_WITH_TIMEOUT(!view()->isLoading(true), 120000);
    QVERIFY(answered);
    QCOMPARE(view()->editor2()->document()->blockCount(), 100000);
    QVERIFY(!view()->editor2()->isReadOnly());
    QVERIFY(!view()->editor2()->document()->isModified());
    QCOMPARE(view()->editor1()->toPlainText(), QStringLiteral("first"));
}

void TstTextView::largeFileReadOnly()
{
    const QString p = fx->path(QStringLiteral("big.log"));
    {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray line = QByteArray(63, 'x') + '\n';
        const QByteArray block = line.repeated(16384); // 1 MB
        for (int i = 0; i < 33; ++i)
            f.write(block);
    }
    fx->window->show_file(p);
    QTRY_VERIFY_WITH_TIMEOUT(!view()->isLoading(), 120000);
    QVERIFY(view()->editor1()->isReadOnly());
    QCOMPARE(view()->statusBar()->panelText(1), fx->window->context().msg(Msg::TextTruncated));
    QCOMPARE(view()->editor1()->document()->blockCount(), 32 * 16384);
    QCOMPARE(view()->hexView()->size(), qint64(33) << 20);
    view()->bt_textnormClick();
    view()->editor1()->selectAll();
    QVERIFY(!button("bt_textcut")->isEnabled());
    QVERIFY(button("bt_textcopy")->isEnabled());
    // A file shown next is editable again.
    show(QStringLiteral("small.txt"), "s");
    QVERIFY(!view()->editor1()->isReadOnly());
}

void TstTextView::sparseFourGigabytes()
{
    const QString p = fx->path(QStringLiteral("sparse.img"));
    {
        QFile f(p);
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (!f.resize(qint64(4) << 30))
            QSKIP("no sparse files here");
        f.seek((qint64(4) << 30) - 3);
        f.write("END");
    }
    HexWidget *hex = view()->hexView();
    QVERIFY(hex->openFile(p));
    QCOMPARE(hex->lineCount(), qint64(1) << 28);
    hex->scrollToLine(hex->lineCount());
    QCOMPARE(hex->topLine() + hex->visibleLines(), hex->lineCount());
    QCOMPARE(hex->lineText(hex->lineCount() - 1),
             QStringLiteral("fffffff0: 0000 0000 0000 0000 0000 0000 0045 4e44  .............END"));
    hex->grab(); // paints the last lines
    // Four gigabytes do not go to the clipboard: a message instead.
    QTest::keyClick(hex, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(hex, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(fx->prompter.lastMessage(), fx->window->context().msg(Msg::HexCopyTooLarge));
    QFile::remove(p);
}

void TstTextView::hexSelectionCopies()
{
    show(QStringLiteral("h.bin"), QByteArray("\x00\x01"
                                             "ABC",
                                             5));
    button("bt_texthex")->click();
    HexWidget *hex = view()->hexView();
    hex->setSelection(1, 4);
    QVERIFY(hex->copySelection());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("01 41 42"));
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("application/octet-stream")),
             QByteArray("\x01"
                        "AB"));
    QTest::keyClick(hex, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(hex->selectionEnd() - hex->selectionStart(), qint64(5));
    // Shift+Right from the start selects bytes with the keyboard.
    QTest::keyClick(hex, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(hex, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(hex->selectedBytes(), QByteArray("\x00", 1));
    // Each press takes one byte more: four presses, four bytes from the anchor.
    QTest::keyClick(hex, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(hex, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(hex->selectedBytes(), QByteArray("\x00\x01"
                                              "AB",
                                              4));
    // Back to the anchor selects nothing; Shift+Left from the end takes the last byte.
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(hex, Qt::Key_Left, Qt::ShiftModifier);
    QVERIFY(!hex->hasSelection());
    QTest::keyClick(hex, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(hex, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(hex->selectedBytes(), QByteArray("C"));
}

QTEST_MAIN(TstTextView)
#include "tst_text_view.moc"
