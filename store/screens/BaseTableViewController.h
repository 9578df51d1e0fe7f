#pragma once
// The base of the store's table screens: a table filling the screen, and the
// session behaviour of BaseViewController with the table base's differences:
// log tag "TABLE_BASE", every event logged as "EVENT", an "a.reg" answer with
// "ec" stores 99 (not the code), and the sign-in-needed alert (995) does
// nothing here.

#include "store/screens/BaseViewController.h"
#include "toolkit/TableView.h"

namespace orv::store {

class BaseTableViewController : public BaseViewController {
  Q_OBJECT
 public:
  explicit BaseTableViewController(QWidget* parent = nullptr);

  orv::toolkit::TableView* tableView() const { return table_; }

 protected:
  void viewDidLoad() override;
  void resizeEvent(QResizeEvent* event) override;
  ScreenBase screenBase() const override { return ScreenBase::kTable; }

 private:
  orv::toolkit::TableView* table_ = nullptr;
};

}  // namespace orv::store
