#include "store/screens/BaseTableViewController.h"

#include <QResizeEvent>

namespace orv::store {

BaseTableViewController::BaseTableViewController(QWidget* parent) : BaseViewController(parent) {
  setLogTag("TABLE_BASE");
}

void BaseTableViewController::viewDidLoad() {
  table_ = new orv::toolkit::TableView(this);
  table_->setGeometry(rect());
  BaseViewController::viewDidLoad();  // the overlay goes over the table
}

void BaseTableViewController::resizeEvent(QResizeEvent* event) {
  if (table_) table_->setGeometry(rect());
  BaseViewController::resizeEvent(event);
}

}  // namespace orv::store
