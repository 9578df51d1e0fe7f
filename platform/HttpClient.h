#pragma once
// Asynchronous HTTP on libcurl: one worker thread drives a curl multi handle;
// every answer (status, headers, body) or transport error is delivered through
// the executor the caller chose (a dispatch queue, the main queue), in the
// order the transfers complete.
//
// Guarantees:
// - cancel(id) before the completion has started means it never runs (checked
//   on the delivering thread, so a cancel from that thread is always in time);
// - a body over `maxBodyBytes` ends the transfer as an error ("body too large"),
//   it is never buffered whole;
// - `timeout` bounds the whole transfer (connect included);
// - destroying the client cancels everything still running.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orv {

class DispatchQueue;
class MainQueue;

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
  std::string method = "GET";  // "GET" or "POST"
  std::string url;
  HttpHeaders headers;
  std::string body;  // sent with POST
  std::chrono::milliseconds timeout{15000};
  std::size_t maxBodyBytes = 16u << 20;
};

struct HttpResult {
  // True when an HTTP answer arrived (whatever its status); false on a
  // transport failure, time-out or refused body, with `error` saying why.
  bool ok = false;
  long status = 0;
  HttpHeaders headers;
  std::string body;
  std::string error;
};

// Runs a task on the caller's chosen thread or queue.
using HttpExecutor = std::function<void(std::function<void()>)>;
HttpExecutor executorFor(std::shared_ptr<DispatchQueue> queue);
HttpExecutor executorFor(std::shared_ptr<MainQueue> queue);

class HttpClient {
 public:
  using RequestId = std::uint64_t;
  using Completion = std::function<void(const HttpResult&)>;

  // The process-wide client, created on first use.
  static std::shared_ptr<HttpClient> shared();
  static std::shared_ptr<HttpClient> create();

  virtual ~HttpClient() = default;

  // Starts the transfer and returns at once; `completion` runs through
  // `deliver` exactly once unless cancelled first.
  virtual RequestId send(HttpRequest request, HttpExecutor deliver, Completion completion) = 0;
  RequestId get(std::string url, HttpExecutor deliver, Completion completion) {
    HttpRequest request;
    request.url = std::move(url);
    return send(std::move(request), std::move(deliver), std::move(completion));
  }
  virtual void cancel(RequestId id) = 0;
};

// "%XX" for every byte outside the unreserved set (A-Z a-z 0-9 - _ . ~), so the
// text travels intact as one query or form value.
std::string percentEncode(std::string_view text);

}  // namespace orv
