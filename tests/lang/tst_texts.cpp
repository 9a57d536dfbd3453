// The German and English texts: the tables themselves, switching on the real main window, the
// language dialog and its immediate write of "vorn.cfg", and the date format.
#include "app/language_dialog.h"
#include "lang/control_texts.h"
#include "lang/date_format.h"
#include "lang/texts.h"
#include "support/test_support.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

using namespace vorn;
using vorn::test::readFile;
using vorn::test::writeFile;

namespace
{

// What a control shows as its caption, read the way the text applier writes it.
QString shownCaption(QWidget *w)
{
    if (auto *stack = w->parentWidget())
        if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget())) {
            const int i = tabs->indexOf(w);
            if (i >= 0)
                return tabs->tabText(i);
        }
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    return w->windowTitle();
}

struct Shown {
    QString caption;
    QString hint;
};

// Captions and hints of every named control below the window that the table has texts for;
// each is checked against the table for `language` on the way.
QHash<QString, Shown> collectAndCheck(QWidget *root, int language, int *checked)
{
    const Texts texts(language);
    QHash<QString, Shown> out;
    *checked = 0;
    auto check = [&](const QString &name, const QString &caption, const QString &hint) {
        const QString wantCaption = texts.caption(name);
        const QString wantHint = texts.hint(name);
        if (wantCaption.isNull() && wantHint.isNull())
            return;
        ++*checked;
        if (!wantCaption.isNull())
            QCOMPARE(caption, wantCaption);
        if (!wantHint.isNull())
            QCOMPARE(hint, wantHint);
        out.insert(name, {caption, hint});
    };
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets)
        if (!w->objectName().isEmpty())
            check(w->objectName(), shownCaption(w), w->toolTip());
    for (QAction *a : root->findChildren<QAction *>())
        if (!a->objectName().isEmpty())
            check(a->objectName(), a->text(), a->toolTip());
    return out;
}

QByteArray cfgBytes(const char *language, const char *state)
{
    return QByteArray("0\r\n0\r\n") + language + "\r\n" + state + "\r\n";
}

} // namespace

class TstTexts : public QObject
{
    Q_OBJECT
  private slots:
    void controlRowsComplete();
    void hintControlsHaveHints_data();
    void hintControlsHaveHints();
    void zipGridColumns_data();
    void zipGridColumns();
    void messagesBothLanguages();
    void switchRestoresEveryText();
    void languageButtonRunsDialog();
    void dialogWritesChoiceAtOnce_data();
    void dialogWritesChoiceAtOnce();
    void dialogShowsCurrentLanguage_data();
    void dialogShowsCurrentLanguage();
    void dateFormat_data();
    void dateFormat();
};

void TstTexts::controlRowsComplete()
{
    QSet<QString> names;
    for (int i = 0; i < kControlTextRowCount; ++i) {
        const ControlTextRow &r = kControlTextRows[i];
        const QString name = QString::fromLatin1(r.name);
        QVERIFY2(!names.contains(name), qPrintable("duplicate row " + name));
        names.insert(name);
        QVERIFY2((r.captionDe == nullptr) == (r.captionEn == nullptr), r.name);
        QVERIFY2((r.hintDe == nullptr) == (r.hintEn == nullptr), r.name);
        QVERIFY2(r.captionDe || r.hintDe, qPrintable(name + " has no text at all"));
        for (const char *s : {r.captionDe, r.captionEn, r.hintDe, r.hintEn})
            QVERIFY2(!s || *s, qPrintable(name + " has an empty text"));
    }
    QSet<QString> columnNames;
    for (int i = 0; i < kColumnTextRowCount; ++i) {
        const ColumnTextRow &r = kColumnTextRows[i];
        const QString name = QString::fromLatin1(r.name);
        QVERIFY2(!columnNames.contains(name), qPrintable("duplicate column row " + name));
        columnNames.insert(name);
        QVERIFY2(r.de && r.en, r.name);
        QCOMPARE(Texts(German).columns(name).size(), Texts(English).columns(name).size());
    }
    QCOMPARE(Texts(German).columns("lvrename").size(), 4);
    QCOMPARE(Texts(English).columns("sg_sortconf"), QStringList({"Caption      ", "Folder"}));
    // Leading blanks belong to the texts.
    QCOMPARE(Texts(English).caption("hlp_betrachter"), QString("       Viewer"));
    QCOMPARE(Texts(German).caption("lb_function"), QString(" Funktion"));
}

void TstTexts::hintControlsHaveHints_data()
{
    QTest::addColumn<QString>("name");
    const char *names[] = {
        "bt_startscan",   "bt_clearscan",     "bt_deleteitem",     "bt_editliste",     "bt_dirhide",
        "bt_exitscan",    "bt_trashmain",     "bt_showview",       "bt_showzip",       "bt_showrename",
        "bt_256cols",     "bt_colors",        "bt_hintsize",       "bt_language",      "bt_info",
        "bt_help",        "bt_close",         "bt_copyfile",       "bt_movefile",      "bt_sorttofolder",
        "bt_configsort",  "bt_newdir",        "bt_dirdelete",      "bt_newbut",        "bt_buttondelete",
        "bt_clearsort",   "bt_loadsort",      "bt_savesort",       "bt_diashow",       "bt_backgr",
        "bt_center",      "bt_bestfit",       "bt_shape",          "bt_zoomout",       "bt_zoomin",
        "bt_lupe",        "ed_giftime",       "bt_gotocatalog",    "bt_backtoview",    "bt_catopen",
        "bt_catclose",    "bt_catsave",       "bt_catcreate",      "bt_catdelete",     "bt_titleup",
        "bt_titledown",   "bt_exitcatcreate", "pn_thumbsize",      "pn_thumbcols",     "bt_startdiashow",
        "bt_pauseshow",   "bt_stopshow",      "bt_repeatshow",     "bt_diatimeup",     "bt_diatimedown",
        "bt_diafirst",    "bt_diaprev",       "bt_dianext",        "bt_dialast",       "bt_diaviewstyle",
        "bt_diacenter",   "bt_diabestfit",    "img_movediactrl",   "ed_diatime",       "bt_loadmovie",
        "bt_vplay",       "bt_vpause",        "bt_vstop",          "bt_vnext",         "bt_vprev",
        "bt_vstep",       "bt_vback",         "bt_veject",         "bt_repeat",        "bt_chain",
        "ed_digits",      "bt_htmlcopytclip", "bt_htmltext",       "bt_htmlclearlist", "bt_htmlback",
        "bt_htmlnext",    "bt_zipadd",        "bt_zipextract",     "bt_zipopen",       "bt_zipaddfile",
        "bt_zipdelete",   "bt_zipclose",      "bt_zipcopytoclipb", "bt_zipinzip",      "bt_ziphtmlsource",
        "bt_zipstartapp", "bt_textnorm",      "bt_textmemo2",      "bt_texthex",       "bt_textclear",
        "bt_textcut",     "bt_textcopy",      "bt_textpaste",      "bt_textsave",      "bt_textload",
        "pn_hexcols",     "pn_fontsize"};
    for (const char *n : names)
        QTest::newRow(n) << QString::fromLatin1(n);
}

void TstTexts::hintControlsHaveHints()
{
    QFETCH(QString, name);
    QVERIFY(!Texts(German).hint(name).isEmpty());
    QVERIFY(!Texts(English).hint(name).isEmpty());
}

void TstTexts::zipGridColumns_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("titled");
    QTest::newRow("first slot") << "sg_0" << true;
    QTest::newRow("later slot") << "sg_12" << true;
    QTest::newRow("other grid") << "sg_catalog" << false;
    QTest::newRow("letters after digits") << "sg_1x" << false;
}

void TstTexts::zipGridColumns()
{
    QFETCH(QString, name);
    QFETCH(bool, titled);
    const QStringList de = Texts(German).columns(name);
    const QStringList en = Texts(English).columns(name);
    if (!titled) {
        QVERIFY(de.isEmpty());
        return;
    }
    QCOMPARE(de, QStringList({"Dateiname    ", "Gepackt", QString::fromUtf8("Größe"), "Ratio",
                              "Datum/Uhrzeit", "Pfad"}));
    QCOMPARE(en, QStringList({"Filename     ", "Packed ", "Size ", "Ratio", "Date/Time    ", "Path"}));
}

void TstTexts::messagesBothLanguages()
{
    for (int i = 0; i < int(Msg::Count_); ++i) {
        QCOMPARE(int(kMessageRows[i].key), i);
        for (int lang : {int(German), int(English)})
            QVERIFY2(!Texts::msg(Msg(i), lang).isEmpty(), qPrintable(QString::number(i)));
    }
    // An index other than 0 or 1 reads as English.
    Texts t(7);
    QCOMPARE(t.language(), int(English));
    QCOMPARE(t.msg(Msg::CloseQuestion), QString("Close this application?"));
    QCOMPARE(Texts(German).msg(Msg::CloseQuestion), QString("Wollen Sie die Anwendung wirklich beenden?"));
}

void TstTexts::switchRestoresEveryText()
{
    test::WindowFixture f;
    MainWindow &w = f.start();
    AppContext &ctx = w.context();
    int checked = 0;

    ctx.setLanguageIndex(German);
    w.applyTexts();
    const auto german = collectAndCheck(&w, German, &checked);
    QVERIFY2(checked >= 4, "the function bar has controls with texts");
    QCOMPARE(ctx.msg(Msg::Copy), QString("Kopieren"));

    ctx.setLanguageIndex(English);
    w.applyTexts();
    const auto english = collectAndCheck(&w, English, &checked);
    QCOMPARE(ctx.msg(Msg::Copy), QString("copy"));
    QCOMPARE(f.find<QToolButton>("bt_close")->toolTip(), QString("close the program"));

    ctx.setLanguageIndex(German);
    w.applyTexts();
    const auto back = collectAndCheck(&w, German, &checked);
    QCOMPARE(back.size(), german.size());
    for (auto it = german.cbegin(); it != german.cend(); ++it) {
        QCOMPARE(back.value(it.key()).caption, it.value().caption);
        QCOMPARE(back.value(it.key()).hint, it.value().hint);
    }
    QCOMPARE(ctx.msg(Msg::Copy), QString("Kopieren"));
    // The language button keeps its five-language hint in both languages.
    QVERIFY(f.find<QToolButton>("bt_language")->toolTip().startsWith(QString::fromUtf8("Sprache wählen")));
}

void TstTexts::languageButtonRunsDialog()
{
    // English at start; the dialog is answered by clicking "Deutsch" and OK.
    test::WindowFixture f;
    MainWindow &w = f.start();
    QCOMPARE(w.context().language(), int(English));
    bool sawDialog = false;
    QTimer::singleShot(0, &w, [&] {
        auto *dlg = w.findChild<LanguageDialog *>();
        if (!dlg)
            return;
        sawDialog = true;
        dlg->findChild<QPushButton *>("bt_german")->click();
        dlg->findChild<QPushButton *>("bt_exit")->click();
    });
    f.find<QToolButton>("bt_language")->click();
    QVERIFY(sawDialog);
    QCOMPARE(w.context().language(), int(German));
    QCOMPARE(f.find<QToolButton>("bt_close")->toolTip(), QString("Programm beenden"));
    QCOMPARE(readFile(f.path("vorn.cfg")), cfgBytes("0", "normal"));
}

void TstTexts::dialogWritesChoiceAtOnce_data()
{
    QTest::addColumn<QByteArray>("cfg");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("caption");
    QTest::newRow("German to English")
        << cfgBytes("0", "normal") << "bt_english" << cfgBytes("1", "normal") << "English";
    QTest::newRow("English to German keeps maximized")
        << cfgBytes("1", "maximized") << "bt_german" << cfgBytes("0", "maximized") << "Deutsch";
}

void TstTexts::dialogWritesChoiceAtOnce()
{
    QFETCH(QByteArray, cfg);
    QFETCH(QString, button);
    QFETCH(QByteArray, written);
    QFETCH(QString, caption);
    test::WindowFixture f;
    writeFile(f.path("vorn.cfg"), cfg);
    MainWindow &w = f.start();
    LanguageDialog dlg(w.context(), &w);
    dlg.show();
    dlg.findChild<QPushButton *>(button)->click();
    // Written before the dialog closes.
    QVERIFY(dlg.isVisible());
    QCOMPARE(readFile(f.path("vorn.cfg")), written);
    QCOMPARE(dlg.windowTitle(), caption);
    QVERIFY(dlg.findChild<QPushButton *>(button)->isChecked());
    QCOMPARE(dlg.findChild<QPushButton *>("bt_exit")->text(), QString("OK"));
    dlg.findChild<QPushButton *>("bt_exit")->click();
    QVERIFY(!dlg.isVisible());
}

void TstTexts::dialogShowsCurrentLanguage_data()
{
    QTest::addColumn<QByteArray>("language");
    QTest::addColumn<QString>("caption");
    QTest::newRow("German") << QByteArray("0") << "Deutsch";
    QTest::newRow("English") << QByteArray("1") << "English";
}

void TstTexts::dialogShowsCurrentLanguage()
{
    QFETCH(QByteArray, language);
    QFETCH(QString, caption);
    test::WindowFixture f;
    writeFile(f.path("vorn.cfg"), cfgBytes(language.constData(), "normal"));
    MainWindow &w = f.start();
    const bool german = language == "0";
    // Opened twice: the second opening follows a change made through the first.
    for (int round = 0; round < 2; ++round) {
        LanguageDialog dlg(w.context(), &w);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), round == 0 ? caption : QString(german ? "English" : "Deutsch"));
        const bool germanDown = round == 0 ? german : !german;
        QCOMPARE(dlg.findChild<QPushButton *>("bt_german")->isChecked(), germanDown);
        QCOMPARE(dlg.findChild<QPushButton *>("bt_english")->isChecked(), !germanDown);
        if (round == 0)
            dlg.findChild<QPushButton *>(german ? "bt_english" : "bt_german")->click();
        dlg.accept();
    }
}

void TstTexts::dateFormat_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("text");
    QTest::newRow("single digits padded") << QDate(2024, 3, 5) << "05.03.24";
    QTest::newRow("end of century") << QDate(1999, 12, 31) << "31.12.99";
    QTest::newRow("year 2000") << QDate(2000, 1, 1) << "01.01.00";
    QTest::newRow("invalid") << QDate() << "";
}

void TstTexts::dateFormat()
{
    QFETCH(QDate, date);
    QFETCH(QString, text);
    const QLocale old;
    for (const QLocale &l : {QLocale(QLocale::English, QLocale::UnitedStates),
                             QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Japanese)}) {
        QLocale::setDefault(l);
        QCOMPARE(format_date(date, German), text);
        QCOMPARE(format_date(date, English), text);
    }
    QLocale::setDefault(old);
}

QTEST_MAIN(TstTexts)
#include "tst_texts.moc"
