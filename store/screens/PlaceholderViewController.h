#pragma once
// Stands in for a screen of the store that this build does not contain yet
// (the game detail, the grid list): shows the title it was opened with and a
// short note, so that opening it from the menu or home still leads somewhere.

#include <QString>

#include "toolkit/ViewController.h"

class QLabel;

namespace orv::store {

class PlaceholderViewController : public orv::toolkit::ViewController {
  Q_OBJECT
 public:
  explicit PlaceholderViewController(QString identifier, QWidget* parent = nullptr);
  const QString& identifier() const { return identifier_; }

  // The screen registered under `identifier` in the collection "Main", or a
  // placeholder when none is.
  static orv::toolkit::ViewController* createScreen(const QString& identifier);

 protected:
  void viewDidLoad() override;

 private:
  QString identifier_;
};

}  // namespace orv::store
