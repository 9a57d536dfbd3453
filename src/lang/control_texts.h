// Captions, hints and column titles of the controls, keyed by objectName.
#pragma once

namespace vorn {

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

extern const ControlTextRow kControlTextRows[];
extern const int kControlTextRowCount;
extern const ColumnTextRow kColumnTextRows[];
extern const int kColumnTextRowCount;

} // namespace vorn
