#pragma once
// Internal: the widget a bar shows for one bar item, shared by the
// navigation bar and the toolbar.

#include <QColor>
#include <QWidget>

namespace orv::toolkit {
class BarButtonItem;
}

namespace orv::toolkit::detail {

// A button (title or image), the item's custom view (reparented to
// `parent`), or a fixed-width spacer. nullptr for flexible spaces and for
// negative fixed spaces (the caller handles those).
QWidget* makeBarItemWidget(BarButtonItem* item, QWidget* parent, const QColor& tint);

}  // namespace orv::toolkit::detail
