#pragma once
// The left menu of the store's sliding navigation stack: the greeting, the
// subscription action that fits the status, the status row, the three fixed
// lists, one row per category of the server and the support row.
//
// It asks "cnt.cat" on its first appearance and registers, while visible,
// for "cnt.cat" and for the command group "a" (the answers of "a.stt",
// "a.reg" and "a.buy" that no visible screen registered exactly). Rows come
// from LeftMenuModel; this class draws them (30 x 30 icons, local images or
// category pictures through the shared image loader) and runs their actions.
//
// Two choices of ours: the overlay shown for a request is also hidden when
// the menu disappears (its answer would otherwise never reach it), and a
// "cnt.cat" answer lost because the menu closed before it came is asked for
// again at the next appearance.

#include <QHash>
#include <QPixmap>
#include <memory>
#include <string>

#include "store/models/LeftMenuModel.h"
#include "store/screens/BaseViewController.h"

class QListView;

namespace orv::store {

class LeftMenuItemModel;

class LeftMenuViewController : public BaseViewController {
  Q_OBJECT
 public:
  // Item roles besides display, font, foreground and background.
  enum Role { RowIdRole = Qt::UserRole + 1, SelectionColorRole, ImageSourceRole };
  static constexpr int kRowHeight = 44;
  static constexpr int kHeaderHeight = 20;
  static constexpr int kIconSize = 30;

  explicit LeftMenuViewController(QWidget* parent = nullptr);
  ~LeftMenuViewController() override;

  const LeftMenuModel& model() const { return model_; }
  QListView* tableView1() const { return tableView1_; }
  // The 30 x 30 picture drawn for `row` (null while a category picture loads).
  QPixmap imageForRow(int row) const;

  // Refreshes the greeting and the action row from the current number and status.
  void updateMenu();
  // Sends "a.stt", "a.reg" (with "msi") or "cnt.cat" (with "pf") and shows the overlay.
  void doRequest(const std::string& command);

 signals:
  // After updateMenu changed the rows.
  void menuUpdated();

 public:
  void dispatchORVMessage(const std::shared_ptr<const ORVMessage>& message) override;

 protected:
  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;

 private:
  void addMessageHandler();
  void removeMessageHandler();
  void buildRows(std::shared_ptr<const ORVMessage> message);
  void rowSelected(int row);
  void reloadTable();
  QPixmap localImage(const QString& name) const;
  void loadCategoryIcon(const QString& url);

  LeftMenuModel model_;
  QListView* tableView1_ = nullptr;
  LeftMenuItemModel* items_ = nullptr;
  bool isFirstLoad_ = true;
  bool awaitingCategories_ = false;
  bool registered_ = false;
  QHash<QString, QPixmap> icons_;  // category pictures by URL, 30 x 30
};

}  // namespace orv::store
