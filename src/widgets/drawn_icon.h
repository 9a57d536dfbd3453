// Small icons drawn in code: a transparent square pixmap painted by a function.
#pragma once

#include <QIcon>
#include <functional>

class QPainter;

namespace vorn
{

QIcon drawn_icon(const std::function<void(QPainter &)> &draw, int size = 18);

} // namespace vorn
