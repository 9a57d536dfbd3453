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

    // 1. One copy at a time; no language is known yet, so both are shown.
    vorn::InstanceGuard guard;
    if (guard.acquire() == vorn::InstanceGuard::State::AlreadyRunning) {
        QString text = vorn::Texts::msg(vorn::Msg::AlreadyRunning, vorn::German);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QMessageBox::information(nullptr, QStringLiteral("V.O.R.N. 2.0"), text);
        return 0;
    }

    // 2. The application's title.
    QApplication::setApplicationName(QStringLiteral("V.O.R.N. 2.0"));
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    QApplication::setDesktopFileName(QStringLiteral("vorn"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vorn.svg")));

    // 3.-4. The main window, centred, maximised when the configuration says so.
    vorn::MainWindow w;
    if (QScreen *s = QGuiApplication::primaryScreen())
        w.move(s->availableGeometry().center() - w.rect().center());
    if (w.context().config().opensMaximized())
        w.showMaximized();
    else
        w.show();
    return app.exec();
}
