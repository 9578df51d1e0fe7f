#include "toolkit/ScreenRegistry.h"

#include "toolkit/ViewController.h"

namespace orv::toolkit {

ScreenRegistry& ScreenRegistry::main() {
  static ScreenRegistry registry(QStringLiteral("Main"));
  return registry;
}

ScreenRegistry::ScreenRegistry(QString name) : name_(std::move(name)) {}

void ScreenRegistry::registerScreen(const QString& identifier, Factory factory) {
  factories_[identifier] = std::move(factory);
}

bool ScreenRegistry::contains(const QString& identifier) const {
  return factories_.count(identifier) != 0;
}

ViewController* ScreenRegistry::create(const QString& identifier) const {
  auto it = factories_.find(identifier);
  if (it == factories_.end() || !it->second) return nullptr;
  return it->second();
}

QStringList ScreenRegistry::identifiers() const {
  QStringList names;
  for (const auto& [name, factory] : factories_) names << name;
  return names;
}

}  // namespace orv::toolkit
