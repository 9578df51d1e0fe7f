#pragma once
// The phone-number sign-in form: the store's logo and name, the phone field
// (`txtUser`), the one-time-password field (`txtPassword`), the get-password
// button (`btnLayMk`) and the log-in button (`btnLogin`). View states 0 and 1
// hide the four controls (the session is starting / a request runs), 2 and 3
// show them; 0, 2 and 3 put the focus in the phone field.

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace orv::store {

class SignInForm : public QWidget {
  Q_OBJECT
 public:
  explicit SignInForm(QWidget* parent = nullptr);

  void setViewState(int state);
  int viewState() const { return viewState_; }
  bool areControlsVisible() const;
  void dismissKeyboard();

  QLineEdit* txtUser() const { return txtUser_; }
  QLineEdit* txtPassword() const { return txtPassword_; }
  QPushButton* btnLayMk() const { return btnLayMk_; }
  QPushButton* btnLogin() const { return btnLogin_; }

 signals:
  void getPasswordClicked();
  void loginClicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void layoutControls();

  QLabel* logo_ = nullptr;
  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  QLineEdit* txtUser_ = nullptr;
  QLineEdit* txtPassword_ = nullptr;
  QPushButton* btnLayMk_ = nullptr;
  QPushButton* btnLogin_ = nullptr;
  QLabel* hint_ = nullptr;
  int viewState_ = -1;
};

}  // namespace orv::store
