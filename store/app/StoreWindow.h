#pragma once
// The store's main window: a phone-sized frame (320 x 568 points; Qt scales
// points to the screen's pixels) titled "Orvik" with the store's icon, holding
// one root widget, the first screen. A root that is a screen (a toolkit
// ViewController) gets its appearance calls from the window: it appears when
// the window is shown and disappears when the window is hidden.

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

  // A plain page with the store's name and icon (no screen behind it).: name, icon and a sign-in note.
  static QWidget* createPlaceholderSignInPage();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void setRootAppearing(bool appearing);

  QVBoxLayout* layout_;
  QPointer<QWidget> root_;
};

}  // namespace orv::store
