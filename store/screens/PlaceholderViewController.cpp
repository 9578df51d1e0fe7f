#include "store/screens/PlaceholderViewController.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/SettingsStore.h"
#include "toolkit/ScreenRegistry.h"

namespace orv::store {

PlaceholderViewController::PlaceholderViewController(QString identifier, QWidget* parent)
    : orv::toolkit::ViewController(parent), identifier_(std::move(identifier)) {}

orv::toolkit::ViewController* PlaceholderViewController::createScreen(const QString& identifier) {
  auto& registry = orv::toolkit::ScreenRegistry::main();
  if (registry.contains(identifier)) {
    if (auto* screen = registry.create(identifier)) return screen;
  }
  return new PlaceholderViewController(identifier);
}

void PlaceholderViewController::viewDidLoad() {
  ViewController::viewDidLoad();
  setObjectName(identifier_);
  setStyleSheet("background: rgb(245,247,250);");
  // The title the opener wrote for the next screen.
  const auto title = orv::SettingsStore::standard()->value("tl");
  navigationItem()->setTitle(QString::fromStdString(title));
  auto* layout = new QVBoxLayout(this);
  auto* note = new QLabel(QStringLiteral("Nội dung đang được cập nhật."), this);
  note->setObjectName("placeholderNote");
  note->setAlignment(Qt::AlignCenter);
  note->setStyleSheet("color: rgb(120,120,120); font-size: 15px;");
  layout->addWidget(note);
}

}  // namespace orv::store
