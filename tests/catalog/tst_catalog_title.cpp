// The description form of a catalog save on its own: its texts in both languages, its size
// and window kind, the 25-character cut, the empty description, abort by button and key, and
// its textures in the textured and the plain theme.
#include "catalog/catalog_title_dialog.h"
#include "lang/texts.h"
#include "support/scripted_prompter.h"
#include "widgets/theme.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace vorn;

class TstCatalogTitle : public QObject
{
    Q_OBJECT
  private slots:
    void textsAndWindow_data();
    void textsAndWindow();
    void confirm_data();
    void confirm();
    void abort_data();
    void abort();
    void askRunsModally();
    void textures_data();
    void textures();

  private:
    template <class T> static T *child(QDialog &d, const char *name)
    {
        return d.findChild<T *>(QString::fromLatin1(name));
    }
};

void TstCatalogTitle::textsAndWindow_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("abort");
    QTest::newRow("German") << int(German) << QStringLiteral(" Katalog speichern - Beschreibung")
                            << QStringLiteral("Bitte geben Sie eine kurze Beschreibung ein (max. 30 Zeichen)")
                            << QStringLiteral("Speichern abbrechen");
    QTest::newRow("English") << int(English) << QStringLiteral(" Save catalog - Description")
                             << QStringLiteral("Please input a short description (max. 30 char.)")
                             << QStringLiteral("Abort saving");
}

void TstCatalogTitle::textsAndWindow()
{
    QFETCH(int, language);
    QFETCH(QString, title);
    QFETCH(QString, label);
    QFETCH(QString, abort);
    Texts texts(language);
    ScriptedPrompter prompter;
    CatalogTitleDialog form(texts, prompter, true);
    form.show();
    QCOMPARE(form.objectName(), QStringLiteral("form_cattitle"));
    QCOMPARE(form.windowTitle(), title);
    QCOMPARE(child<QLabel>(form, "lb_cattitle")->text(), label);
    QCOMPARE(child<QPushButton>(form, "bt_titlesave")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(form, "bt_titleabort")->text(), abort);
    QCOMPARE(form.size(), QSize(355, 150));
    QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!form.windowFlags().testFlag(Qt::WindowMinMaxButtonsHint));
    // The label is not cut: its wrapped text fits the form.
    auto *lb = child<QLabel>(form, "lb_cattitle");
    QVERIFY(lb->heightForWidth(lb->width()) <= lb->height());
}

void TstCatalogTitle::confirm_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("message");
    const QString empty = QStringLiteral("Speichern abgebrochen! Keine Beschreibung eingegeben.");
    QTest::newRow("button") << QStringLiteral("Urlaub") << false << QStringLiteral("Urlaub") << QString();
    QTest::newRow("Enter") << QStringLiteral("Urlaub") << true << QStringLiteral("Urlaub") << QString();
    QTest::newRow("30 characters cut to 25") << QStringLiteral("Urlaub am Meer und Berge 2024!") << true
                                             << QStringLiteral("Urlaub am Meer und Berge ") << QString();
    QTest::newRow("empty") << QString() << false << QString() << empty;
    QTest::newRow("blanks only") << QStringLiteral("   ") << true << QString() << empty;
}

void TstCatalogTitle::confirm()
{
    QFETCH(QString, typed);
    QFETCH(QString, description);
    QFETCH(QString, message);
    QFETCH(bool, byEnter);
    Texts texts(German);
    ScriptedPrompter prompter;
    CatalogTitleDialog form(texts, prompter, true);
    form.show();
    auto *edit = child<QLineEdit>(form, "ed_catedit");
    QTest::keyClicks(edit, typed);
    if (byEnter)
        QTest::keyClick(edit, Qt::Key_Return);
    else
        child<QPushButton>(form, "bt_titlesave")->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.description(), description);
    QCOMPARE(prompter.messages(), message.isEmpty() ? QStringList() : QStringList{message});
}

void TstCatalogTitle::abort_data()
{
    QTest::addColumn<bool>("byEscape");
    QTest::newRow("button") << false;
    QTest::newRow("Escape") << true;
}

void TstCatalogTitle::abort()
{
    QFETCH(bool, byEscape);
    Texts texts(English);
    ScriptedPrompter prompter;
    CatalogTitleDialog form(texts, prompter, true);
    form.show();
    auto *edit = child<QLineEdit>(form, "ed_catedit");
    QTest::keyClicks(edit, QStringLiteral("typed and dropped"));
    if (byEscape)
        QTest::keyClick(edit, Qt::Key_Escape);
    else
        child<QPushButton>(form, "bt_titleabort")->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(form.description(), QString());
    QVERIFY(prompter.records().isEmpty());
}

void TstCatalogTitle::askRunsModally()
{
    Texts texts(English);
    ScriptedPrompter prompter;
    CatalogTitleDialog form(texts, prompter, true);
    // Driven from inside the form's own event loop.
    QMetaObject::invokeMethod(
        &form,
        [&form] {
            QTest::keyClicks(form.findChild<QLineEdit *>(QStringLiteral("ed_catedit")),
                             QStringLiteral("Zoo"));
            QTest::keyClick(form.findChild<QLineEdit *>(QStringLiteral("ed_catedit")), Qt::Key_Enter);
        },
        Qt::QueuedConnection);
    QCOMPARE(form.ask(), std::optional<QString>(QStringLiteral("Zoo")));

    CatalogTitleDialog again(texts, prompter, true);
    QMetaObject::invokeMethod(
        &again, [&again] { again.findChild<QPushButton *>(QStringLiteral("bt_titleabort"))->click(); },
        Qt::QueuedConnection);
    QCOMPARE(again.ask(), std::nullopt);
}

void TstCatalogTitle::textures_data()
{
    QTest::addColumn<bool>("textured");
    QTest::newRow("textured theme") << true;
    QTest::newRow("plain theme") << false;
}

void TstCatalogTitle::textures()
{
    QFETCH(bool, textured);
    Texts texts(German);
    ScriptedPrompter prompter;
    CatalogTitleDialog form(texts, prompter, textured);
    form.show();
    QCOMPARE(has_texture(child<QFrame>(form, "pn_background")), textured);
    QCOMPARE(has_texture(child<QFrame>(form, "fup_titlebreak")), textured);
}

QTEST_MAIN(TstCatalogTitle)
#include "tst_catalog_title.moc"
