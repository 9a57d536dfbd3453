// Captions, hints and column titles of the controls, keyed by objectName.
#pragma once

namespace vorn
{

// A null pointer means "no such text" (the control keeps what it has).
struct ControlTextRow {
    const char *name;
    const char *captionDe;
    const char *captionEn;
    const char *hintDe;
    const char *hintEn;
};

// Column titles separated by '|'.
struct ColumnTextRow {
    const char *name;
    const char *de;
    const char *en;
};

// The hint of the language button names the choice in five languages, whatever the current one.
inline constexpr char kLanguageHint[] =
    "Sprache wählen\n\rSelect language\n\rChoisir langage\n\rPrescelto linguaggio\n\rSeleccionar lenguaje";

// The entry grids of open archives are named this prefix + the slot number ("sg_0", "sg_1", ...);
// they share the column row keyed by the prefix.
inline constexpr char kZipGridPrefix[] = "sg_";

extern const ControlTextRow kControlTextRows[];
extern const int kControlTextRowCount;
extern const ColumnTextRow kColumnTextRows[];
extern const int kColumnTextRowCount;

} // namespace vorn
