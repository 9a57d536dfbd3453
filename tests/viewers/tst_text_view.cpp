// The text view on the real main window: the button rules, hex columns and font steps, the
// second editor, load and save through the dialogs with unchanged bytes, the size limit, the
// question about unsaved edits, and the hex view over a large sparse file.
#include "app/view_stack_view.h"
#include "support/test_support.h"
#include "viewers/text_view.h"
#include "widgets/hex_widget.h"
#include "widgets/panel_status_bar.h"

#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>

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
    QCOMPARE(hex->selectedBytes(), QByteArray("\x00\x01", 2));
}

QTEST_MAIN(TstTextView)
#include "tst_text_view.moc"
