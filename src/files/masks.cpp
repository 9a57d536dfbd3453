#include "files/masks.h"

#include <algorithm>
#include <string_view>

namespace vorn
{

namespace
{

// The token walk on any character type. Positions are 0-based here.
template <typename C> bool walk(std::basic_string_view<C> name, std::basic_string_view<C> pat, bool exact)
{
    constexpr C star = C('*');
    constexpr C quest = C('?');
    if (pat.empty())
        return false;
    if (pat.size() == 1 && pat[0] == star)
        return true;
    if (pat.size() == 3 && pat[0] == star && pat[1] == C('.') && pat[2] == star)
        return name.find(C('.')) != std::basic_string_view<C>::npos;
    if (pat.find(star) == std::basic_string_view<C>::npos &&
        pat.find(quest) == std::basic_string_view<C>::npos)
        return exact ? name == pat : name.find(pat) != std::basic_string_view<C>::npos;

    size_t pos = 0;
    bool starSeen = false;
    size_t i = 0;
    while (i < pat.size()) {
        const C c = pat[i];
        if (c == quest) {
            if (pos >= name.size())
                return false;
            ++pos;
            ++i;
        } else if (c == star) {
            starSeen = true;
            ++i;
        } else {
            size_t j = i;
            while (j < pat.size() && pat[j] != star && pat[j] != quest)
                ++j;
            const std::basic_string_view<C> lit = pat.substr(i, j - i);
            if (starSeen) {
                const size_t at = name.find(lit, pos); // first occurrence only
                if (at == std::basic_string_view<C>::npos)
                    return false;
                pos = at + lit.size();
                starSeen = false;
            } else {
                if (name.substr(pos, lit.size()) != lit)
                    return false;
                pos += lit.size();
            }
            i = j;
        }
    }
    return starSeen || pos == name.size();
}

bool hasSurrogates(QStringView s)
{
    for (QChar c : s)
        if (c.isSurrogate())
            return true;
    return false;
}

} // namespace

QStringList parse_patterns(const QString &mask, bool fuzzy, bool caseSensitive)
{
    QStringList list;
    if (mask.isEmpty()) {
        list << QStringLiteral("*");
        return list;
    }
    QString text = mask;
    text.replace(QLatin1Char(','), QLatin1Char(';'));
    if (!text.endsWith(QLatin1Char(';')))
        text += QLatin1Char(';');
    // Every piece up to a ";" is a pattern; the text ends with ";", so the last split part is
    // the empty remainder and is not a piece.
    QStringList pieces = text.split(QLatin1Char(';'));
    pieces.removeLast();
    for (const QString &piece : std::as_const(pieces)) {
        QString p = piece.trimmed();
        if (!caseSensitive)
            p = p.toLower();
        if (fuzzy) {
            const bool wild = p.contains(QLatin1Char('*')) || p.contains(QLatin1Char('?'));
            const bool dot = p.contains(QLatin1Char('.'));
            if (!wild && !dot)
                p = QLatin1Char('*') + p + QLatin1Char('*');
            else if (!dot && !p.endsWith(QLatin1Char('*')))
                p += QLatin1Char('*');
        }
        list << p;
    }
    std::sort(list.begin(), list.end());
    return list;
}

bool match_pattern(QStringView name, QStringView pattern, bool exact)
{
    if (!hasSurrogates(name) && !hasSurrogates(pattern))
        return walk(std::u16string_view(reinterpret_cast<const char16_t *>(name.utf16()), name.size()),
                    std::u16string_view(reinterpret_cast<const char16_t *>(pattern.utf16()), pattern.size()),
                    exact);
    // A character outside the BMP is one "?" step: walk on code points.
    const QList<uint> n = name.toUcs4();
    const QList<uint> p = pattern.toUcs4();
    return walk(std::basic_string_view<char32_t>(reinterpret_cast<const char32_t *>(n.constData()), n.size()),
                std::basic_string_view<char32_t>(reinterpret_cast<const char32_t *>(p.constData()), p.size()),
                exact);
}

bool match_pattern_ascii(const char *name, size_t nameLen, const char *pattern, size_t patternLen, bool exact)
{
    return walk(std::string_view(name, nameLen), std::string_view(pattern, patternLen), exact);
}

bool matches_any(const QString &name, const QStringList &patterns, bool caseSensitive)
{
    if (name.isEmpty())
        return true;
    const QString n = caseSensitive ? name : name.toLower();
    for (const QString &p : patterns)
        if (match_pattern(n, p, true))
            return true;
    return false;
}

QString join_patterns(const QStringList &patterns)
{
    return patterns.join(QLatin1Char(';'));
}

// ---- Mask buttons -------------------------------------------------------------------------

const std::array<FixedMask, kFixedMaskCount> kFixedMasks = {{
    {"jpg", 0, "*.jpg", MaskKind::Pictures},
    {"jpeg", 1, "*.jpeg", MaskKind::Pictures},
    {"jpe", 2, "*.jpe", MaskKind::Pictures},
    {"bmp", 3, "*.bmp", MaskKind::Pictures},
    {"ico", 4, "*.ico", MaskKind::Pictures},
    {"wmf", 5, "*.wmf", MaskKind::Pictures},
    {"gif", 6, "*.gif", MaskKind::Pictures},
    {"mpg", 7, "*.mpg", MaskKind::Videos},
    {"mpeg", 8, "*.mpeg", MaskKind::Videos},
    {"avi", 9, "*.avi", MaskKind::Videos},
    {"html", 10, "*.html", MaskKind::None},
    {"htm", 11, "*.htm", MaskKind::None},
    {"zip", 12, "*.zip", MaskKind::Zip},
    {"*.*", 13, nullptr, MaskKind::None},
}};

QString user_scan_pattern(const QString &cell)
{
    return QStringLiteral("*.") + cell;
}

MaskState::MaskState()
{
    fixedDown_[kAllFilesTag] = true;
    currentMask_ = QStringLiteral("*.*");
}

bool MaskState::isDown(int tag) const
{
    if (tag >= 0 && tag < kFixedMaskCount)
        return fixedDown_[tag];
    if (tag >= kFirstUserMaskTag && tag < kFirstUserMaskTag + kUserMaskCount)
        return userDown_[tag - kFirstUserMaskTag];
    return false;
}

void MaskState::click(int tag, bool down, const QStringList &userCells)
{
    if (tag == kAllFilesTag) {
        flags_ = {};
        fixedDown_[kAllFilesTag] = down;
        if (down) {
            currentMask_ = QStringLiteral("*.*");
            for (int i = 0; i < kFixedMaskCount; ++i)
                fixedDown_[i] = i == kAllFilesTag;
            userDown_.fill(false);
        } else {
            currentMask_.clear();
        }
        scanPatterns_.clear();
        applyMask();
        return;
    }
    if (tag >= 0 && tag < kAllFilesTag)
        fixedDown_[tag] = down;
    else if (tag >= kFirstUserMaskTag && tag < kFirstUserMaskTag + kUserMaskCount)
        userDown_[tag - kFirstUserMaskTag] = down;
    else
        return;
    recompose(userCells);
}

void MaskState::recompose(const QStringList &userCells)
{
    fixedDown_[kAllFilesTag] = false;
    flags_ = {};
    currentMask_.clear();
    scanPatterns_.clear();
    for (int i = 0; i < kAllFilesTag; ++i) {
        if (!fixedDown_[i])
            continue;
        const FixedMask &m = kFixedMasks[i];
        switch (m.kind) {
        case MaskKind::Pictures:
            flags_.pictures = true;
            break;
        case MaskKind::Videos:
            flags_.videos = true;
            break;
        case MaskKind::Zip:
            flags_.zip = true;
            break;
        case MaskKind::None:
            break;
        }
        const QString p = QString::fromLatin1(m.scanPattern);
        scanPatterns_ << p;
        currentMask_ += p + QLatin1Char(';');
    }
    for (int i = 0; i < kUserMaskCount; ++i) {
        if (!userDown_[i])
            continue;
        flags_.user = true;
        const QString p = user_scan_pattern(i < userCells.size() ? userCells[i] : QString());
        scanPatterns_ << p;
        currentMask_ += p + QLatin1Char(';');
    }
    applyMask();
}

void MaskState::applyMask()
{
    if (currentMask_.isEmpty()) {
        flags_ = {};
        fixedDown_[kAllFilesTag] = true;
        currentMask_ = QStringLiteral("*.*");
        scanPatterns_.clear();
    }
    userMaskText_ = flags_.user ? currentMask_ : QString();
}

} // namespace vorn
