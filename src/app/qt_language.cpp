#include "app/qt_language.h"

#include "files/app_context.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vorn
{

void follow_language_in_qt_dialogs(AppContext &ctx, QObject *owner)
{
    auto *translator = new QTranslator(owner);
    auto apply = [translator](int language) {
        QCoreApplication::removeTranslator(translator);
        if (language == German &&
            translator->load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(translator);
    };
    apply(ctx.language());
    QObject::connect(&ctx, &AppContext::languageChanged, owner, apply);
}

} // namespace vorn
