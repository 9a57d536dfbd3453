#pragma once
#include <QStringList>
namespace vorn {
QStringList parse_patterns(const QString &text, bool fuzzy, bool caseSensitive);
bool matches_any(const QString &name, const QStringList &patterns, bool caseSensitive);
}
