// The name rules: which typed characters and new names are refused, and the exact message
// boxes (text, buttons, icon, order) in German and English.
#include "files/name_rules.h"
#include "lang/texts.h"
#include "support/scripted_prompter.h"

#include <QtTest>

using namespace vorn;

namespace
{

struct Box {
    QString text;
    Answers buttons;
};

const QString kCharDe =
    QStringLiteral("Unerlaubtes Zeichen %1 !\r\n\r\nIn Dateinamen sind die Zeichen \r\n\r\n"
                   "%2nicht erlaubt!");
const QString kCharEn =
    QStringLiteral("Invalid key %1 !\r\n\r\nThese keys are not allowed \r\n\r\n%2in filenames!");
const QString kTypedList = QStringLiteral("\\ / : ? \" < > | *  ");
const QString kNameList = QStringLiteral("\\ / : ? \" < > |   ");
const QString kExtDe =
    QStringLiteral("Das Ändern der Dateinamenserweiterung\r\n\r\nist in dieser Anwendung nicht gestattet!");
const QString kExtEn =
    QStringLiteral("The changing of fileextensions are not \r\n\r\nallowed in this application!");
const QString kOneDot = QStringLiteral("Ungültiger Dateiname!\r\n\r\nEs ist nur 1 Punkt im Namen erlaubt!");

QString charBox(int lang, QChar c, const QString &list)
{
    return (lang == German ? kCharDe : kCharEn).arg(c).arg(list);
}

} // namespace

class TstNameRules : public QObject
{
    Q_OBJECT
  private slots:
    void checkNameChar_data();
    void checkNameChar();
    void validateNewName_data();
    void validateNewName();
    void extension_data();
    void extension();
};

void TstNameRules::checkNameChar_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<QChar>("c");
    QTest::addColumn<bool>("allowed");
    for (int lang : {German, English}) {
        const char *l = lang == German ? "de" : "en";
        for (QChar c : QStringLiteral("\\/:*?\"<>|"))
            QTest::addRow("%s refuses %c", l, c.toLatin1()) << lang << c << false;
        for (QChar c : QStringLiteral("a._ -(ä"))
            QTest::addRow("%s allows %s", l, qPrintable(QString(c))) << lang << c << true;
    }
}

void TstNameRules::checkNameChar()
{
    QFETCH(int, lang);
    QFETCH(QChar, c);
    QFETCH(bool, allowed);
    ScriptedPrompter prompter;
    QCOMPARE(check_name_char(c, Texts(lang), prompter), allowed);
    if (allowed) {
        QVERIFY(prompter.records().isEmpty());
        return;
    }
    QCOMPARE(prompter.records().size(), 1);
    const auto &r = prompter.records().first();
    QCOMPARE(r.text, charBox(lang, c, kTypedList));
    QCOMPARE(r.buttons, Answers(Answer::Retry));
    QCOMPARE(r.icon, PromptIcon::Error);
}

void TstNameRules::validateNewName_data()
{
    QTest::addColumn<int>("lang");
    QTest::addColumn<QString>("oldPath");
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("boxes");

    for (int lang : {German, English}) {
        const char *l = lang == German ? "de" : "en";
        const QString ext = lang == German ? kExtDe : kExtEn;
        QTest::addRow("%s longer extension", l) << lang << "/pics/photo.jpg"
                                                << "photo.jpeg" << false << QStringList{ext};
        QTest::addRow("%s extension in other case", l) << lang << "/pics/photo.JPG"
                                                       << "Holiday.jpg" << true << QStringList{};
        QTest::addRow("%s extension lost", l) << lang << "/pics/photo.jpg"
                                              << "photo" << false << QStringList{ext};
        QTest::addRow("%s extension gained", l) << lang << "/pics/readme"
                                                << "readme.txt" << false << QStringList{ext};
        QTest::addRow("%s extension change hides other faults", l)
            << lang << "/pics/a.jpg"
            << "a:b.c.png" << false << QStringList{ext};
        QTest::addRow("%s two dots", l) << lang << "/pics/a.jpg"
                                        << "a.b.jpg" << false << QStringList{kOneDot};
        QTest::addRow("%s colon and two dots", l)
            << lang << "/pics/a.jpg"
            << "x:y.z.jpg" << false << QStringList{charBox(lang, ':', kNameList), kOneDot};
        QTest::addRow("%s first listed character wins", l)
            << lang << "/pics/a.jpg"
            << "|<:.jpg" << false << QStringList{charBox(lang, ':', kNameList)};
        QTest::addRow("%s slash", l) << lang << "/pics/a.jpg"
                                     << "../a.jpg" << false
                                     << QStringList{charBox(lang, '/', kNameList), kOneDot};
        QTest::addRow("%s star passes", l) << lang << "/pics/a.jpg"
                                           << "st*r.jpg" << true << QStringList{};
        QTest::addRow("%s dot in folder does not count", l) << lang << "/my.pics/a"
                                                            << "b" << true << QStringList{};
    }
}

void TstNameRules::validateNewName()
{
    QFETCH(int, lang);
    QFETCH(QString, oldPath);
    QFETCH(QString, newName);
    QFETCH(bool, accepted);
    QFETCH(QStringList, boxes);
    ScriptedPrompter prompter;
    QCOMPARE(validate_new_name(newName, oldPath, Texts(lang), prompter), accepted);
    QCOMPARE(prompter.messages(), boxes);
    for (const auto &r : prompter.records()) {
        QCOMPARE(r.buttons, Answers(Answer::Ok));
        QCOMPARE(r.icon, PromptIcon::Error);
    }
}

void TstNameRules::extension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("ext");
    QTest::newRow("plain") << "photo.jpg"
                           << ".jpg";
    QTest::newRow("last dot") << "a.tar.gz"
                              << ".gz";
    QTest::newRow("none") << "readme"
                          << "";
    QTest::newRow("dot in folder only") << "/a.b/readme"
                                        << "";
    QTest::newRow("trailing dot") << "a."
                                  << ".";
}

void TstNameRules::extension()
{
    QFETCH(QString, path);
    QFETCH(QString, ext);
    QCOMPARE(file_extension(path), ext);
}

QTEST_GUILESS_MAIN(TstNameRules)
#include "tst_namerules.moc"
