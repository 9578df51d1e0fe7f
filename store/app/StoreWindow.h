#pragma once
// The store's main window: a phone-sized frame (320 x 568 points; Qt scales
// points to the screen's pixels) titled "Orvik" with the store's icon, holding
// one root widget, the first screen. Until the sign-in screen exists the root
// is a plain placeholder page.

#include <QPointer>
#include <QWidget>

class QVBoxLayout;

namespace orv::store {

class StoreWindow : public QWidget {
 public:
  static constexpr int kWidth = 320;
  static constexpr int kHeight = 568;

  explicit StoreWindow(QWidget* parent = nullptr);

  // Makes `root` the window's only content (the window takes ownership); the
  // previous root is deleted. Null leaves the window empty.
  void setRootWidget(QWidget* root);
  QWidget* rootWidget() const { return root_; }

  // The placeholder first screen: name, icon and a sign-in note.
  static QWidget* createPlaceholderSignInPage();

 private:
  QVBoxLayout* layout_;
  QPointer<QWidget> root_;
};

}  // namespace orv::store
