// The logic of the ZIP view without widgets: the rows of an entry grid, the button rules, the
// archive name of a pack run, the viewer chosen for a preview, and the texts of what the
// engine refused.
#pragma once

#include "archives/zip_archive.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace vorn
{

class Texts;

// The grid columns of an entry row; the last two are hidden: the entry key, and the entry's
// position in the archive's entries, which is how operations name it.
enum ZipColumn { ZcName, ZcPacked, ZcSize, ZcRatio, ZcTime, ZcPath, ZcKey, ZcIndex, ZcCount };

// The saving in whole per cent; 0 for an empty entry.
int zip_ratio(quint64 packed, quint64 size);
// One row per file entry in stored order (folder entries are left out).
QList<QStringList> zip_grid_rows(const std::vector<ZipEntry> &entries, int language);

struct ZipButtonInput {
    bool zipMode = false;     // the ZIP view button is down
    bool extractMode = false; // bt_zipextract down
    bool packMode = false;    // bt_zipadd down
    bool lock = false;        // the archive lock
    int lastSlot = -1;        // the newest slot number, -1 when none is open
    bool hasCurrent = false;  // there is a current archive
    bool pictureMode = false;
    bool canCopy = false; // the text preview holds text or the HTML preview a selection
};

struct ZipButtonStates {
    bool add = false, extract = false, open = false, extractTo = true, addFile = false, remove = false,
         startApp = false, close = false, zipInZip = false, htmlSource = false, copy = false;
};

ZipButtonStates zip_button_states(const ZipButtonInput &in);

// The archive a pack run writes for the text of lb_zipname: its folder part, and its file-name
// part up to the first dot, + ".zip". Empty when the file-name part is empty.
QString zip_pack_path(const QString &zipName);

// Animation: a picture of a kind that may animate (GIF, WebP, PNG, JPEG XL, TIFF pages); it
// plays when it holds more than one frame.
enum class ZipPreviewKind { Text, Picture, Animation, Html, Video, Zip, Hex };
ZipPreviewKind zip_preview_kind(const QString &fileName, bool zipInZipDown);

// One line per refused or skipped entry, in the current language.
QString zip_problem_text(const ZipProblem &problem, const Texts &texts);
// The lines of every problem of a run (at most `limit`, then "..."); empty when none.
QStringList zip_problem_lines(const ZipResult &result, const Texts &texts);

} // namespace vorn
