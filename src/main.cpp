#include "app/instance_guard.h"
#include "app/main_window.h"
#include "lang/message_texts.h"
#include "lang/texts.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // One copy at a time; no language is known yet, so both are shown.
    vorn::InstanceGuard guard;
    if (guard.acquire() == vorn::InstanceGuard::State::AlreadyRunning) {
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

    // The main window in its program folder, centred, maximised when the configuration
    // says so.
    vorn::StartOptions options;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--home") && i + 1 < args.size())
            options.programDir = args[++i];
        else if (args[i].startsWith(QLatin1String("--home=")))
            options.programDir = args[i].mid(7);
    }
    vorn::MainWindow w(options);
    if (QScreen *s = QGuiApplication::primaryScreen())
        w.move(s->availableGeometry().center() - w.rect().center());
    if (w.context().config().opensMaximized())
        w.showMaximized();
    else
        w.show();
    return app.exec();
}
