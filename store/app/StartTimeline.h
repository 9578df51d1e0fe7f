#pragma once
// When each stage of a cold start was reached, for orv-store --measure-start:
// the window shown, the session connected, the zone login answered, the
// sign-in API answered (number known), the status answered (store
// presented), the home screen's first answers, its first picture, and all
// the pictures on screen shown (loaded and faded in).
// It looks at the screens and the client every millisecond and emits
// finished() once the pictures are shown (or after 30 s).

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <string>
#include <vector>

class QTimer;

namespace orv::store {

class LoginViewController;

class StartTimeline : public QObject {
  Q_OBJECT
 public:
  StartTimeline(LoginViewController& login, std::chrono::steady_clock::time_point processStart);
  void start();
  // One line per stage: "stage <name> <ms since the process started>".
  std::string report() const;

 signals:
  void finished(bool ok);

 private:
  void poll();
  void mark(const char* stage);

  QPointer<LoginViewController> login_;
  std::chrono::steady_clock::time_point processStart_;
  QTimer* timer_;
  std::vector<std::pair<std::string, double>> stages_;
  std::size_t next_ = 0;
};

}  // namespace orv::store
