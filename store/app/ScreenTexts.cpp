#include "store/app/ScreenTexts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocumentFragment>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace orv::store {
namespace {

// Texts whose middles are at most this far apart vertically share a line.
constexpr int kLineTolerance = 8;

struct Placed {
  QRect rect;
  QString text;
};

// The deepest visible widget at `pos` (in `parent`'s coordinates), searching
// children from the top of the stacking order down.
const QWidget* topmostAt(const QWidget* parent, QPoint pos) {
  const QObjectList& children = parent->children();
  for (auto it = children.crbegin(); it != children.crend(); ++it) {
    const auto* child = qobject_cast<const QWidget*>(*it);
    if (!child || child->isWindow() || !child->isVisible() || !child->geometry().contains(pos)) continue;
    return topmostAt(child, pos - child->pos());
  }
  return parent;
}

bool isOpaque(const QWidget* w) {
  return w->autoFillBackground() || w->testAttribute(Qt::WA_OpaquePaintEvent) ||
         w->testAttribute(Qt::WA_StyledBackground);
}

bool coveredAt(const QWidget* widget, QPoint inWindow) {
  const QWidget* hit = topmostAt(widget->window(), inWindow);
  for (const QWidget* w = hit; w && w != widget->window(); w = w->parentWidget()) {
    if (w == widget || w->isAncestorOf(widget) || widget->isAncestorOf(w)) return false;
    if (isOpaque(w)) return true;
  }
  return false;
}

QString plain(const QString& text, Qt::TextFormat format) {
  const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
  QString out = rich ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
  out.replace(QChar('\n'), QChar(' '));
  return out.simplified();
}

void addItemRows(const QAbstractItemView* view, std::vector<Placed>& out) {
  const QAbstractItemModel* model = view->model();
  if (!model) return;
  const QWidget* viewport = view->viewport();
  const QRect port = ScreenTexts::visibleRect(viewport);
  if (port.isEmpty()) return;
  const QPoint origin = viewport->mapTo(viewport->window(), QPoint(0, 0));
  for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
    const QModelIndex index = model->index(row, 0, view->rootIndex());
    const QRect rect = view->visualRect(index).translated(origin).intersected(port);
    if (rect.isEmpty() || coveredAt(viewport, rect.center())) continue;
    const QString text = model->data(index, Qt::DisplayRole).toString().simplified();
    if (!text.isEmpty()) out.push_back({rect, text});
  }
}

}  // namespace

QRect ScreenTexts::visibleRect(const QWidget* widget) {
  if (!widget || !widget->isVisible()) return {};
  const QWidget* window = widget->window();
  QRect rect(widget->mapTo(window, QPoint(0, 0)), widget->size());
  for (const QWidget* p = widget->parentWidget(); p; p = p->parentWidget()) {
    rect &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
    if (p == window) break;
  }
  return rect;
}

bool ScreenTexts::isOnScreen(const QWidget* widget) {
  const QRect rect = visibleRect(widget);
  return !rect.isEmpty() && !coveredAt(widget, rect.center());
}

QStringList ScreenTexts::collect(QWidget* window) {
  std::vector<Placed> placed;
  auto add = [&](const QWidget* w, const QString& text) {
    if (text.isEmpty()) return;
    const QRect rect = visibleRect(w);
    if (rect.isEmpty() || coveredAt(w, rect.center())) return;
    placed.push_back({rect, text});
  };
  for (const QWidget* w : window->findChildren<QWidget*>()) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
      add(label, plain(label->text(), label->textFormat()));
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
      add(button, button->text().simplified());
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
      add(edit, edit->displayText().simplified());
    } else if (const auto* view = qobject_cast<const QAbstractItemView*>(w)) {
      if (view->isVisible()) addItemRows(view, placed);
    }
  }
  std::stable_sort(placed.begin(), placed.end(),
                   [](const Placed& a, const Placed& b) { return a.rect.center().y() < b.rect.center().y(); });
  // Lines: runs of texts whose middles lie within the tolerance of the
  // line's first; each line read left to right.
  QStringList texts;
  for (std::size_t first = 0; first < placed.size();) {
    std::size_t end = first + 1;
    while (end < placed.size() && placed[end].rect.center().y() - placed[first].rect.center().y() <= kLineTolerance)
      ++end;
    std::stable_sort(placed.begin() + static_cast<std::ptrdiff_t>(first), placed.begin() + static_cast<std::ptrdiff_t>(end),
                     [](const Placed& a, const Placed& b) { return a.rect.left() < b.rect.left(); });
    for (std::size_t i = first; i < end; ++i) texts << placed[i].text;
    first = end;
  }
  return texts;
}

}  // namespace orv::store
