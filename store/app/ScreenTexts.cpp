#include "store/app/ScreenTexts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocumentFragment>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "toolkit/AlertView.h"

namespace orv::store {
namespace {

// Texts whose middles are at most this far apart vertically share a line.
constexpr int kLineTolerance = 8;

struct Placed {
  QRect rect;
  QString text;
};

// A widget hides what lies under it when it paints its whole area, or when
// it is an alert: the dimmed screen behind a modal alert is not read.
bool isOpaque(const QWidget* w) {
  return w->autoFillBackground() || w->testAttribute(Qt::WA_OpaquePaintEvent) ||
         w->testAttribute(Qt::WA_StyledBackground) || qobject_cast<const orv::toolkit::AlertView*>(w);
}

// Every visible widget under `pos` (in `parent`'s coordinates), parents first.
void widgetsAt(const QWidget* parent, QPoint pos, std::vector<const QWidget*>& out) {
  for (const QObject* object : parent->children()) {
    const auto* child = qobject_cast<const QWidget*>(object);
    if (!child || child->isWindow() || !child->isVisible() || !child->geometry().contains(pos)) continue;
    out.push_back(child);
    widgetsAt(child, pos - child->pos(), out);
  }
}

std::vector<const QWidget*> chain(const QWidget* w) {
  std::vector<const QWidget*> out;
  for (; w; w = w->isWindow() ? nullptr : w->parentWidget()) out.insert(out.begin(), w);
  return out;
}

// True when `x` is painted after (over) `w`: at the first place their chains
// of ancestors part, x's branch comes later among the siblings.
bool paintedOver(const QWidget* x, const QWidget* w) {
  const auto cx = chain(x), cw = chain(w);
  std::size_t i = 0;
  while (i < cx.size() && i < cw.size() && cx[i] == cw[i]) ++i;
  if (i == 0 || i >= cx.size() || i >= cw.size()) return false;
  const QObjectList& siblings = cx[i - 1]->children();
  return siblings.indexOf(const_cast<QWidget*>(cx[i])) > siblings.indexOf(const_cast<QWidget*>(cw[i]));
}

bool coveredAt(const QWidget* widget, QPoint inWindow) {
  std::vector<const QWidget*> under;
  widgetsAt(widget->window(), inWindow, under);
  for (const QWidget* x : under) {
    if (x == widget || x->isAncestorOf(widget) || widget->isAncestorOf(x)) continue;
    if (isOpaque(x) && paintedOver(x, widget)) return true;
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
