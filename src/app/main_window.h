// The main window form_main: composes the views, runs start-up (formcreate, formshow) and
// shutdown (shut_down). Each view owns its controls and handlers.
#pragma once

#include "app/app_context.h"
#include "app/prompter_dialog.h"
#include "app/string_grid.h"
#include "archives/zip_engine.h"

#include <QMainWindow>
#include <memory>

class QToolButton;
class QFrame;
class QWidget;

namespace vorn {

struct StartOptions {
    QString programDir;             // the current directory when empty
    Prompter *prompter = nullptr;   // QMessageBox dialogs when null
    bool showSplash = true;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const StartOptions &options = {}, QWidget *parent = nullptr);
    ~MainWindow() override;

    AppContext &context() { return *ctx_; }
    const StringGrid &catalogGrid() const { return catalogGrid_; }
    const StringGrid &maskGrid() const { return maskGrid_; }

    // The title shown in the caption after the first show.
    static QString fullTitle();

public slots:
    void bt_closeclick();
    void bt_languageClick();
    void bt_infoClick();
    void bt_helpclick();
    // Applies the texts of the current language to every control and message of the window.
    void apply_texts();

signals:
    // Asks the help view for a page of help_dir (F1 and the help button).
    void helpRequested(const QString &page);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void formcreate();
    void formshow();
    void shut_down();
    void buildFunctionBar();
    void buildShortcuts();
    void loadGrid(const QString &path, StringGrid &grid);
    WindowShow currentWindowShow() const;

    std::unique_ptr<DialogPrompter> ownPrompter_;
    std::unique_ptr<AppContext> ctx_;
    StartOptions options_;
    ZipEngine zip_;
    StringGrid catalogGrid_;
    StringGrid maskGrid_;
    bool shown_ = false;
    bool shuttingDown_ = false;

    QWidget *tbar_main_ = nullptr;
    QFrame *pn_main_ = nullptr;
    QToolButton *bt_close_ = nullptr;
    QToolButton *bt_language_ = nullptr;
    QToolButton *bt_info_ = nullptr;
    QToolButton *bt_help_ = nullptr;
};

} // namespace vorn
