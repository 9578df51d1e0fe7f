#pragma once
// What a person sees in a window right now, read back from the widgets: the
// texts of the labels, buttons, line edits and list rows that are on screen
// (shown, inside every enclosing viewport, not covered by an opaque screen
// or panel lying above them), in reading order: top to bottom, and left to
// right along a line. The guided tour records these for every step.

#include <QRect>
#include <QStringList>

class QWidget;

namespace orv::store {

class ScreenTexts {
 public:
  // Texts of `window` in reading order; rich text is reduced to plain text.
  static QStringList collect(QWidget* window);

  // The part of `widget` inside its window and every ancestor (window
  // coordinates); empty when the widget is hidden or clipped away.
  static QRect visibleRect(const QWidget* widget);

  // True when `widget` is visible and the point at the middle of its visible
  // part is not covered by an opaque widget that is neither it, one of its
  // ancestors nor one of its descendants.
  static bool isOnScreen(const QWidget* widget);
};

}  // namespace orv::store
