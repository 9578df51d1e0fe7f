#pragma once
// Where the image loader gets the bytes of a picture: an interface, so that the
// loader's queue does not depend on how bytes travel. HttpImageFetcher is the
// one the application uses.
//
// Contract: fetch() returns at once; `completion` runs exactly once on the GUI
// thread, never inside fetch(), unless cancel(ticket) was called before it
// started (a cancel from the GUI thread is always in time).

#include <QString>
#include <QUrl>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace orv::toolkit {

struct ImageFetchResult {
  // True when an answer arrived (whatever its HTTP status); false on a
  // transport failure, a time-out or a body over the size bound.
  bool ok = false;
  long status = 0;  // HTTP status; 200 for a file that was read
  std::string body;
  QString error;  // why, when !ok
};

class ImageFetcher {
 public:
  using Ticket = std::uint64_t;
  using Completion = std::function<void(ImageFetchResult result)>;

  virtual ~ImageFetcher() = default;
  virtual Ticket fetch(const QUrl& url, std::chrono::milliseconds timeout, Completion completion) = 0;
  virtual void cancel(Ticket ticket) = 0;
};

}  // namespace orv::toolkit
