#pragma once
// The image fetcher of the application: http and https URLs through the
// platform HTTP client (answers delivered on the GUI thread), file and qrc
// URLs read from disk or the application's resources on a pool thread.
//
// Bodies over kMaxPictureBytes are refused while they arrive: a picture is
// some kilobytes, and a server must not make the loader buffer gigabytes.
//
// Lifetime: destroying the fetcher cancels what is still running; completions
// of a destroyed fetcher never run.

#include <cstddef>
#include <memory>

#include "toolkit/image/ImageFetcher.h"

namespace orv {
class HttpClient;
}

namespace orv::toolkit {

class HttpImageFetcher : public ImageFetcher {
 public:
  static constexpr std::size_t kMaxPictureBytes = std::size_t{8} << 20;

  // Null client: the process-wide HttpClient::shared().
  explicit HttpImageFetcher(std::shared_ptr<orv::HttpClient> client = nullptr,
                            std::size_t maxBytes = kMaxPictureBytes);
  ~HttpImageFetcher() override;
  HttpImageFetcher(const HttpImageFetcher&) = delete;
  HttpImageFetcher& operator=(const HttpImageFetcher&) = delete;

  Ticket fetch(const QUrl& url, std::chrono::milliseconds timeout, Completion completion) override;
  void cancel(Ticket ticket) override;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace orv::toolkit
