// The numbering pattern of the rename view and the names it makes. Pure: no files, no widgets.
// The setters mirror the pattern controls, so that the view only forwards to them and the rules
// (text lengths, the digit count bounds, the fill character's history) live in one place.
#pragma once

#include <QChar>
#include <QString>
#include <optional>

namespace vorn
{

class RenamePattern
{
  public:
    static constexpr int kMinDigits = 1;
    static constexpr int kMaxDigits = 8;
    // Characters of each text kept by the engine (the fields take fewer when typed).
    static constexpr int kMaxText = 30;
    // Characters the start field takes.
    static constexpr int kMaxStart = 8;

    void setTextBefore(const QString &text) { before_ = text.left(kMaxText); }
    void setTextAfter(const QString &text) { after_ = text.left(kMaxText); }
    const QString &textBefore() const { return before_; }
    const QString &textAfter() const { return after_; }

    // On: the template becomes the placeholder word. Off: the template is cleared.
    void setInsertName(bool on, const QString &placeholder);
    bool insertName() const { return insert_; }
    void setNameTemplate(const QString &text) { template_ = text.left(kMaxText); }
    const QString &nameTemplate() const { return template_; }
    // The inserted name stands left of the number (else right, the initial place).
    void setNameLeft(bool left) { nameLeft_ = left; }
    bool nameLeft() const { return nameLeft_; }

    // Fill on: the fill character follows the choice (zero or underscore). Off: a blank.
    // Before the toggle is first used the fill character is '0'.
    void setFill(bool on);
    bool fill() const { return fillOn_; }
    // The radio choice: zero (true) or underscore (false); it sets the fill character.
    void setFillZero(bool zero);
    bool fillZero() const { return zero_; }
    QChar fillChar() const { return fillChar_; }

    int digits() const { return digits_; }
    // One more or one less digit within 1..8; false when the bound was already reached.
    bool digitsUp();
    bool digitsDown();

    // The start field's text as typed. A text longer than the digit count raises the count to
    // its length (never above 8); the count never shrinks by this rule.
    void setStartText(const QString &text);
    const QString &startText() const { return start_; }
    // The start field's whole number (blanks at both ends removed); none when it holds none.
    std::optional<qint64> startNumber() const;

    // N written in decimal, led by the fill character up to the digit count.
    QString numberText(qint64 n) const;
    // The new name of a file called oldName with the running number n; placeholder is the
    // language's word for the file name.
    QString newName(const QString &oldName, qint64 n, const QString &placeholder) const;
    // The sample: the start text as typed, the template unchanged, the extension ".xyz".
    QString sample() const;

    // The old name's extension from its last dot, A to Z lower-cased; empty without a dot.
    static QString extensionOf(const QString &name);

  private:
    QString compose(const QString &number, const QString &inserted, const QString &ext) const;

    QString before_;
    QString after_;
    bool insert_ = false;
    QString template_;
    bool nameLeft_ = false;
    bool fillOn_ = false;
    bool zero_ = true;
    QChar fillChar_ = QLatin1Char('0');
    int digits_ = 1;
    QString start_ = QStringLiteral("1");
};

} // namespace vorn
