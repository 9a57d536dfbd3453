// The state shared by the views of one main window: paths, texts, the view and mode, the
// filter and the selection read-out. Created by the main window and passed
// by reference to every view; views listen to its signals instead of reaching into each other.
#pragma once

#include "base/config_file.h"
#include "base/paths.h"
#include "base/prompter.h"
#include "files/drive_info.h"
#include "files/masks.h"
#include "lang/texts.h"

#include <QObject>
#include <QStringList>

namespace vorn
{

// The panels of the view stack, one per view; a new view adds its value here.
enum class View { Empty, Pictures, Video, Html, Text, Zip, Rename, Catalog, Help };
// The mode chosen with the view buttons of the function bar; None before the first choice.
enum class ViewMode { None, Pictures, Zip, Rename };
enum class ListTab { Folder, Scan, Catalog };

// What the active list has selected (lower-case names and paths, as the dispatch wants them).
struct Selection {
    QString name;
    QString folder;
    QString fullPath;
    QString extension;
    QString sizeText;
    QString exactPath;     // the full path as the file system spells it
    int count = 0;         // entries in the list
    int selected = 0;      // number of the selected entry, from 1; 0 for none
    int selectedCount = 0; // how many entries are selected
};

class AppContext : public QObject
{
    Q_OBJECT
  public:
    AppContext(const Paths &paths, Prompter &prompter, QObject *parent = nullptr)
        : QObject(parent), paths_(paths), prompter_(&prompter)
    {
    }

    const Paths &paths() const { return paths_; }
    Prompter &prompter() { return *prompter_; }
    void setPrompter(Prompter &p) { prompter_ = &p; }

    const Texts &texts() const { return texts_; }
    int language() const { return texts_.language(); }
    QString msg(Msg key) const { return texts_.msg(key); }
    // Sets the index and tells every view to apply its texts.
    void setLanguage(int index)
    {
        texts_.setLanguage(index);
        emit languageChanged(texts_.language());
    }
    // Tells every view to apply the texts of the current language again.
    void retranslate() { emit languageChanged(texts_.language()); }
    // Only the index, as read from the configuration before any text is applied.
    void setLanguageIndex(int index) { texts_.setLanguage(index); }

    Config &config() { return config_; }

    // The drive queries (mount point, CD-ROM, removable); the machine's own unless a test
    // installs another. Not owned.
    const DriveInfo &drives() const { return drives_ ? *drives_ : system_drive_info(); }
    void setDrives(const DriveInfo *d) { drives_ = d; }

    // The view in front and the mode.
    View view() const { return view_; }
    void setView(View v)
    {
        if (view_ != v) {
            view_ = v;
            emit viewChanged(v);
        }
    }
    ViewMode mode() const { return mode_; }
    void setMode(ViewMode m)
    {
        if (mode_ != m) {
            mode_ = m;
            emit modeChanged(m);
        }
    }

    ListTab listTab() const { return listTab_; }
    void setListTab(ListTab t)
    {
        if (listTab_ != t) {
            listTab_ = t;
            emit listTabChanged(t);
        }
    }

    // The filter of the mask buttons. Every call announces it, also an unchanged one: a
    // filter applied again lists the folder again.
    const Filter &filter() const { return filter_; }
    void setFilter(const Filter &f)
    {
        filter_ = f;
        emit filterChanged(filter_);
    }

    // The read-out of the active list's selection.
    const Selection &selection() const { return selection_; }
    void setSelection(const Selection &s)
    {
        selection_ = s;
        emit selectionChanged();
    }

    // True while the slideshow runs: file routing then skips the view resets.
    bool slideshowRunning() const { return slideshowRunning_; }
    void setSlideshowRunning(bool on)
    {
        if (slideshowRunning_ != on) {
            slideshowRunning_ = on;
            emit slideshowRunningChanged(on);
        }
    }

    // Flipped by Ctrl+Alt+F12 (and Ctrl+Shift+F12); the file lists read it.
    bool keyStepping() const { return keyStepping_; }
    const bool *keySteppingSource() const { return &keyStepping_; }
    void setKeyStepping(bool on) { keyStepping_ = on; }

  signals:
    void languageChanged(int index);
    void viewChanged(vorn::View view);
    void modeChanged(vorn::ViewMode mode);
    void slideshowRunningChanged(bool running);
    void listTabChanged(vorn::ListTab tab);
    void selectionChanged();
    void filterChanged(const vorn::Filter &filter);

  private:
    Paths paths_;
    Prompter *prompter_;
    const DriveInfo *drives_ = nullptr;
    Texts texts_{German};
    Config config_;
    View view_ = View::Empty;
    ViewMode mode_ = ViewMode::None;
    bool slideshowRunning_ = false;
    bool keyStepping_ = false;
    ListTab listTab_ = ListTab::Folder;
    Filter filter_;
    Selection selection_;
};

} // namespace vorn
