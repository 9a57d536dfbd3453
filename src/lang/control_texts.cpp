#include "lang/control_texts.h"

namespace vorn {

// name, caption German, caption English, hint German, hint English
const ControlTextRow kControlTextRows[] = {
    {"lb_function", " Funktion", " Function", nullptr, nullptr},
    {"bt_close", nullptr, nullptr, "Programm beenden", "close the program"},
    {"bt_language", nullptr, nullptr, nullptr, nullptr},
    {"bt_info", nullptr, nullptr, "Info über V.O.R.N.", "about V.O.R.N."},
    {"bt_help", nullptr, nullptr, "Hilfe", "help"},
    {"bt_back", "Zurück", "Back", nullptr, nullptr},
};
const int kControlTextRowCount = sizeof(kControlTextRows) / sizeof(kControlTextRows[0]);

const ColumnTextRow kColumnTextRows[] = {
    {"sg_sortconf", "Beschriftung      |Verzeichnis", "Caption      |Folder"},
    {"sg_rename", "   Alte Dateinamen|   Neue Dateinamen", "   Old filenames|   New filenames"},
};
const int kColumnTextRowCount = sizeof(kColumnTextRows) / sizeof(kColumnTextRows[0]);

} // namespace vorn
