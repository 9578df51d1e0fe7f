#include "toolkit/detail/BarItemWidgets.h"

#include <QToolButton>

#include "toolkit/BarButtonItem.h"
#include "toolkit/Icons.h"

namespace orv::toolkit::detail {

QWidget* makeBarItemWidget(BarButtonItem* item, QWidget* parent, const QColor& tint) {
  switch (item->kind()) {
    case BarButtonItem::Kind::FlexibleSpace:
      return nullptr;
    case BarButtonItem::Kind::FixedSpace: {
      if (item->width() < 0) return nullptr;
      auto* spacer = new QWidget(parent);
      spacer->setFixedWidth(item->width());
      spacer->show();
      return spacer;
    }
    case BarButtonItem::Kind::CustomView: {
      QWidget* view = item->customView();
      if (!view) return nullptr;
      view->setParent(parent);
      // A size the screen gave the view wins; otherwise its natural size.
      view->setFixedSize(view->testAttribute(Qt::WA_Resized) ? view->size() : view->sizeHint());
      view->show();
      return view;
    }
    case BarButtonItem::Kind::Title:
    case BarButtonItem::Kind::Image: {
      auto* button = new QToolButton(parent);
      button->setAutoRaise(true);
      button->setCursor(Qt::PointingHandCursor);
      button->setFocusPolicy(Qt::NoFocus);
      QFont font = button->font();
      font.setPixelSize(16);
      font.setBold(item->style() == BarButtonItem::Style::Done);
      button->setFont(font);
      if (item->kind() == BarButtonItem::Kind::Title) {
        button->setText(item->title());
      } else {
        button->setIcon(Icons::icon(item->imageName(), QSize(24, 24), tint));
        button->setIconSize(QSize(24, 24));
      }
      QString border = item->style() == BarButtonItem::Style::Bordered
                           ? QStringLiteral("border:1px solid %1; border-radius:5px;").arg(tint.name())
                           : QStringLiteral("border:none;");
      button->setStyleSheet(QStringLiteral("QToolButton{color:%1; background:transparent; %2 padding:4px 6px;}"
                                           "QToolButton:pressed{color:%3;}")
                                .arg(tint.name(), border, tint.lighter(160).name()));
      button->setMinimumHeight(32);
      button->setEnabled(item->isEnabled());
      QObject::connect(button, &QToolButton::clicked, item, &BarButtonItem::trigger);
      // Shown now, so the bar measures it when it lays out its sides.
      button->show();
      return button;
    }
  }
  return nullptr;
}

}  // namespace orv::toolkit::detail
