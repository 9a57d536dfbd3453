#include "app/command_line.h"
#include "app/instance_channel.h"
#include "app/instance_guard.h"
#include "app/main_window.h"
#include "lang/message_texts.h"
#include "lang/start_texts.h"
#include "lang/texts.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <cstdio>

namespace
{

QStringList raw_arguments(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

void bring_to_front(QWidget &w)
{
    w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
    w.show();
    w.raise();
    w.activateWindow();
}

} // namespace

int main(int argc, char *argv[])
{
    // --help and --version are answered before any application object, so they need no
    // display.
    {
        const vorn::CommandLine early =
            vorn::parse_command_line(raw_arguments(argc, argv), QDir::currentPath());
        if (early.help || early.version) {
            const QString text = early.help ? vorn::command_line_help() : vorn::command_line_version();
            std::fputs(text.toLocal8Bit().constData(), stdout);
            return 0;
        }
    }

    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style ...) out of the arguments by now.
    const vorn::CommandLine cl =
        vorn::parse_command_line(QApplication::arguments().mid(1), QDir::currentPath());
    if (!cl.badOption.isEmpty()) {
        std::fputs(vorn::unknown_option_text(cl.badOption).toLocal8Bit().constData(), stderr);
        return 2;
    }

    // One copy at a time. A second start with paths hands them to the running copy; without
    // paths (or when the running copy does not answer) it shows the message in both
    // languages, as no language is known yet.
    vorn::InstanceGuard guard;
    vorn::InstanceChannel channel;
    const vorn::InstanceGuard::State state = guard.acquire();
    if (state == vorn::InstanceGuard::State::AlreadyRunning) {
        if (!cl.paths.isEmpty() && channel.send(cl.paths))
            return 0;
        QString text = vorn::Texts::msg(vorn::Msg::AlreadyRunning, vorn::German);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QMessageBox::information(nullptr, QStringLiteral("V.O.R.N. 2.0"), text);
        return 0;
    }

    // The application's title.
    QApplication::setApplicationName(QStringLiteral("V.O.R.N. 2.0"));
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    QApplication::setDesktopFileName(QStringLiteral("vorn"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vorn.svg")));

    // The main window in its program folder (where it was last time, else centred), maximised
    // when the configuration says so.
    vorn::StartOptions options;
    options.programDir = cl.programDir;
    vorn::MainWindow w(options);

    // Listening starts before the window shows (the splash is modal), so a second start
    // during the splash is not refused; its paths wait until the window is up.
    QStringList pending = cl.paths;
    bool shown = false;
    if (state == vorn::InstanceGuard::State::Acquired) {
        QObject::connect(&channel, &vorn::InstanceChannel::pathsReceived, &w,
                         [&w, &pending, &shown](const QStringList &paths) {
                             if (!shown) {
                                 pending += paths;
                                 return;
                             }
                             bring_to_front(w);
                             w.openPaths(paths);
                         });
        channel.listen();
    }
    if (w.context().config().opensMaximized())
        w.showMaximized();
    else
        w.show();
    shown = true;
    if (!pending.isEmpty())
        w.openPaths(pending);
    return app.exec();
}
