// The real main window in a temporary program folder, for benchmarks that drive the window;
// dialogs are answered by the scripted prompter, and the folder is removed at the end.
#pragma once

#include "app/main_window.h"
#include "support/scripted_prompter.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>

namespace vorn::bench
{

class BenchWindow
{
  public:
    explicit BenchWindow(const QString &tag) : tmp_(QStringLiteral("/tmp/vorn-bench-%1-XXXXXX").arg(tag))
    {
        qputenv("XDG_DATA_HOME", (root() + QStringLiteral("/xdg")).toUtf8());
        QDir().mkpath(root() + QStringLiteral("/prog"));
        StartOptions o;
        o.programDir = root() + QStringLiteral("/prog");
        o.prompter = &prompter_;
        o.showSplash = false;
        window_ = std::make_unique<MainWindow>(o);
    }

    QString root() const { return tmp_.path(); }
    MainWindow &window() { return *window_; }
    ScriptedPrompter &prompter() { return prompter_; }

  private:
    QTemporaryDir tmp_;
    ScriptedPrompter prompter_;
    std::unique_ptr<MainWindow> window_; // destroyed first
};

} // namespace vorn::bench
