#include "files/masks.h"
#include <QRegularExpression>
namespace vorn {
QStringList parse_patterns(const QString &text, bool, bool) { return text.toLower().split(';', Qt::SkipEmptyParts); }
bool matches_any(const QString &name, const QStringList &patterns, bool) {
    for (const QString &p : patterns) if (QRegularExpression::fromWildcard(p).match(name.toLower()).hasMatch()) return true;
    return false; }
}
