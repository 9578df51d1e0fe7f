#pragma once
// Screens created by name: the application's screen collection "Main".
// Each screen class registers a factory under its name at start-up; `create`
// makes a new instance (nullptr for an unknown name). Main thread only.

#include <QString>
#include <QStringList>
#include <functional>
#include <map>

namespace orv::toolkit {

class ViewController;

class ScreenRegistry {
 public:
  using Factory = std::function<ViewController*()>;

  // The collection "Main".
  static ScreenRegistry& main();

  explicit ScreenRegistry(QString name);
  const QString& name() const { return name_; }
  // Replaces any factory registered under the same name.
  void registerScreen(const QString& identifier, Factory factory);
  bool contains(const QString& identifier) const;
  ViewController* create(const QString& identifier) const;
  QStringList identifiers() const;

 private:
  QString name_;
  std::map<QString, Factory> factories_;
};

}  // namespace orv::toolkit
