#pragma once
#include <QString>
namespace vorn {
class AppContext;
bool validate_new_name(AppContext &ctx, const QString &newName, const QString &oldPath);
}
