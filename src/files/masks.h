// Filter masks: the wildcard matcher, parsing a mask text into patterns, and the state of the
// twenty-eight mask buttons (fourteen fixed, fourteen user-defined) that compose the filter.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>

namespace vorn
{

// ---- Matcher ------------------------------------------------------------------------------

// Mask text -> pattern list. Pieces are separated by ";" (or ","), trimmed and, unless
// caseSensitive, lower-cased. With fuzzy, a piece without "*", "?" and "." becomes
// "*" + piece + "*", and a piece without "." that does not end in "*" gets a "*" appended.
// The list comes back sorted. An empty text gives the single pattern "*".
QStringList parse_patterns(const QString &mask, bool fuzzy = true, bool caseSensitive = false);

// One name against one pattern; both already in the same case. "*" and "?" are wildcards;
// a literal after a star is searched at its first occurrence only (no backtracking), so
// "*.jpg" does not match "a.jpg.jpg". "*.*" matches names that contain a dot. A pattern
// without wildcards matches the identical name (exact) or any name containing it.
// "?" stands for one character (one Unicode code point).
bool match_pattern(QStringView name, QStringView pattern, bool exact = true);

// The same on UTF-8 / ASCII bytes, for the tree scanner's fast path: valid only when both
// name and pattern are plain ASCII (then a byte is a character).
bool match_pattern_ascii(const char *name, size_t nameLen, const char *pattern, size_t patternLen,
                         bool exact = true);

// One name against a parsed list: an empty name matches; otherwise the name is brought to the
// list's case and the first matching pattern decides. An empty list matches nothing.
bool matches_any(const QString &name, const QStringList &patterns, bool caseSensitive = false);

// Reading a list's mask back: the patterns joined with ";", no trailing ";".
QString join_patterns(const QStringList &patterns);

// ---- Mask buttons -------------------------------------------------------------------------

enum class MaskKind { None, Pictures, Videos, Zip };

struct FixedMask {
    const char *caption;     // button caption, also the extension
    int tag;                 // button tag (0..13)
    const char *scanPattern; // "*.jpg"; nullptr for the "*.*" button
    MaskKind kind;
};

constexpr int kFixedMaskCount = 14;
constexpr int kUserMaskCount = 14;
constexpr int kAllFilesTag = 13;      // bt_maskwahl13, the "*.*" button
constexpr int kFirstUserMaskTag = 50; // bt_usermask0 .. bt_usermask13 have tags 50..63

// bt_maskwahl0 .. bt_maskwahl13, in button order.
extern const std::array<FixedMask, kFixedMaskCount> kFixedMasks;

// The kind flags: each is set while at least one button of that kind is down.
struct MaskFlags {
    bool pictures = false; // mask_pictures
    bool videos = false;   // mask_videos
    bool zip = false;      // mask_zip
    bool user = false;     // mask_user
    bool operator==(const MaskFlags &) const = default;
};

// The filter the lists and the tree scan apply, as composed from the pressed mask buttons.
struct Filter {
    // Each pattern followed by ";" ("*.jpg;*.gif;"), or "*.*".
    QString mask = QStringLiteral("*.*");
    // One scan pattern per pressed button, in button order; empty for "*.*".
    QStringList patterns;
    MaskFlags flags;
    // The mask as the file lists read it back (sorted, joined with ";"): shown in pn_filter
    // and named by the scan's start question.
    QString text = QStringLiteral("*.*");
    // The mask while a user mask is part of the filter, else empty.
    QString userText;

    bool isAllFiles() const { return mask == QLatin1String("*.*"); }
    bool operator==(const Filter &) const = default;
};

// The scan pattern of a user mask cell: "*." + cell (the cell is used as it stands).
QString user_scan_pattern(const QString &cell);

// The filter composed from the pressed mask buttons. A widget holding the 28 toggle buttons
// forwards each click (tag and the button's new checked state) with the current texts of the
// mask configuration grid, then reads back which buttons are down, the mask text, the filter
// text and the flags. At start only the "*.*" button is down and the mask is "*.*".
class MaskState
{
  public:
    MaskState();

    // bt_maskwahl0click (tags 0..12 and 50..63) and bt_maskwahl13Click (tag 13): the button
    // `tag` has just been toggled to `down`. userCells are the fourteen cells of sg_maskconf as
    // they stand now (missing entries count as empty). Unknown tags are ignored.
    void click(int tag, bool down, const QStringList &userCells);

    bool isDown(int tag) const;
    // current_mask: each pattern followed by ";" ("*.jpg;*.gif;"), or "*.*".
    const QString &currentMask() const { return currentMask_; }
    // scan_patterns: one per pressed button, in button order (fixed, then user); empty for "*.*".
    const QStringList &scanPatterns() const { return scanPatterns_; }
    // The text the file lists read back, shown in pn_filter and given to the tree scanner:
    // parse_patterns(current_mask) joined ("*.gif;*.jpg").
    QString filterText() const { return join_patterns(parse_patterns(currentMask_)); }
    MaskFlags flags() const { return flags_; }
    // user_mask_text: current_mask while a user mask is part of the filter, else empty.
    const QString &userMaskText() const { return userMaskText_; }
    bool isAllFiles() const { return currentMask_ == QLatin1String("*.*"); }
    // All of the above as one value.
    Filter filter() const { return {currentMask_, scanPatterns_, flags_, filterText(), userMaskText_}; }

  private:
    void recompose(const QStringList &userCells);
    void applyMask();

    std::array<bool, kFixedMaskCount> fixedDown_{};
    std::array<bool, kUserMaskCount> userDown_{};
    QString currentMask_;
    QStringList scanPatterns_;
    MaskFlags flags_;
    QString userMaskText_;
};

} // namespace vorn
