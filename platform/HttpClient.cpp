#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <strings.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

// One worker thread drives every transfer through one curl multi handle:
//
//   send()/cancel() (any thread)          worker thread
//   ----------------------------          -------------
//   queue the job / the cancel  --wake-->  add / remove easy handles
//                                          curl_multi_perform, poll
//                                          finished transfer -> deliver(task)
//   delivering thread: task checks the request's cancelled flag, then runs
//   the completion.
//
// The request's small shared state is what ties a completion to cancel():
// the task posted to the caller's executor holds it, not the client, so a
// completion may run (or be dropped) after the client is gone.

namespace orv {
namespace {

struct RequestState {
  std::mutex mutex;
  bool cancelled = false;
  bool started = false;
};

// The requests whose completion may still run, by id: cancel() finds the
// state here until the completion has started. Shared with the delivery
// tasks (weakly), which remove their entry when they run.
struct Registry {
  std::mutex mutex;
  std::map<HttpClient::RequestId, std::shared_ptr<RequestState>> states;

  void erase(HttpClient::RequestId id) {
    std::lock_guard lock(mutex);
    states.erase(id);
  }
};

struct Transfer {
  HttpClient::RequestId id = 0;
  HttpRequest request;
  HttpExecutor deliver;
  HttpClient::Completion completion;
  std::shared_ptr<RequestState> state;
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  HttpResult result;
  bool bodyTooLarge = false;
  char errorBuffer[CURL_ERROR_SIZE] = {0};
};

void curlGlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (transfer->result.body.size() + n > transfer->request.maxBodyBytes) {
    transfer->bodyTooLarge = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  transfer->result.body.append(data, n);
  return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t n = size * count;
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    // A new status line (after a redirect or a 100 Continue): the headers
    // that count are the final answer's.
    transfer->result.headers.clear();
    return n;
  }
  const size_t colon = line.find(':');
  if (colon == std::string_view::npos) return n;
  std::string_view name = line.substr(0, colon);
  std::string_view value = line.substr(colon + 1);
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  transfer->result.headers.emplace_back(std::string(name), std::string(value));
  return n;
}

class CurlHttpClient final : public HttpClient {
 public:
  static constexpr long kMaxConnectionsPerHost = 4;

  CurlHttpClient() {
    curlGlobalInit();
    multi_ = curl_multi_init();
    // At most a few connections per server, reused for later requests (the
    // others wait their turn inside curl): servers serve each open
    // connection with a thread of their own, and a burst of image requests
    // must not take all of them.
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, kMaxConnectionsPerHost);
    worker_ = std::thread([this] { run(); });
  }

  ~CurlHttpClient() override {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    curl_multi_wakeup(multi_);
    worker_.join();
    // Whatever is still queued or running is cancelled: no completion runs.
    for (auto& [id, transfer] : running_) {
      cancelState(*transfer->state);
      curl_multi_remove_handle(multi_, transfer->easy);
      release(*transfer);
    }
    for (auto& transfer : pending_) cancelState(*transfer->state);
    // Completions already handed to their executor but not yet run are
    // dropped too.
    std::lock_guard lock(registry_->mutex);
    for (auto& [id, state] : registry_->states) cancelState(*state);
    curl_multi_cleanup(multi_);
  }

  RequestId send(HttpRequest request, HttpExecutor deliver, Completion completion) override {
    auto transfer = std::make_unique<Transfer>();
    transfer->request = std::move(request);
    transfer->deliver = std::move(deliver);
    transfer->completion = std::move(completion);
    transfer->state = std::make_shared<RequestState>();
    RequestId id;
    {
      std::lock_guard lock(mutex_);
      id = ++lastId_;
      transfer->id = id;
      {
        std::lock_guard registryLock(registry_->mutex);
        registry_->states[id] = transfer->state;
      }
      pending_.push_back(std::move(transfer));
    }
    curl_multi_wakeup(multi_);
    return id;
  }

  void cancel(RequestId id) override {
    std::shared_ptr<RequestState> state;
    {
      std::lock_guard lock(registry_->mutex);
      const auto it = registry_->states.find(id);
      if (it == registry_->states.end()) return;
      state = it->second;
      registry_->states.erase(it);
    }
    cancelState(*state);
    {
      std::lock_guard lock(mutex_);
      cancels_.push_back(id);
    }
    curl_multi_wakeup(multi_);
  }

 private:
  static void cancelState(RequestState& state) {
    std::lock_guard lock(state.mutex);
    state.cancelled = true;
  }

  static void release(Transfer& transfer) {
    if (transfer.easy) curl_easy_cleanup(transfer.easy);
    if (transfer.headerList) curl_slist_free_all(transfer.headerList);
    transfer.easy = nullptr;
    transfer.headerList = nullptr;
  }

  // Sets up the easy handle; false (with the result's error) when curl
  // refuses the request before it starts.
  bool prepare(Transfer& t) {
    t.easy = curl_easy_init();
    if (!t.easy) {
      t.result.error = "cannot create a transfer";
      return false;
    }
    CURL* e = t.easy;
    curl_easy_setopt(e, CURLOPT_URL, t.request.url.c_str());
    curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.errorBuffer);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_ACCEPT_ENCODING, "");
    const long timeoutMs = static_cast<long>(std::max<long long>(1, t.request.timeout.count()));
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    // A declared length over the cap is refused before any byte is read;
    // the write callback enforces the cap on bodies without a length.
    curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(t.request.maxBodyBytes));
    if (t.request.method == "POST") {
      curl_easy_setopt(e, CURLOPT_POST, 1L);
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(t.request.body.size()));
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, t.request.body.c_str());
    } else if (t.request.method != "GET") {
      t.result.error = "unsupported method " + t.request.method;
      return false;
    }
    // curl computes Content-Length itself; a caller's own value is dropped
    // rather than sent twice. "Expect:" off: small forms go in one round.
    t.headerList = curl_slist_append(t.headerList, "Expect:");
    for (const auto& [name, value] : t.request.headers) {
      if (strcasecmp(name.c_str(), "Content-Length") == 0) continue;
      if (name.find_first_of("\r\n:") != std::string::npos || value.find_first_of("\r\n") != std::string::npos) {
        t.result.error = "invalid header " + name;
        return false;
      }
      t.headerList = curl_slist_append(t.headerList, (name + ": " + value).c_str());
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headerList);
    return true;
  }

  void finish(std::unique_ptr<Transfer> t) {
    release(*t);
    auto state = t->state;
    {
      std::lock_guard lock(state->mutex);
      if (state->cancelled) return;
    }
    auto completion = std::move(t->completion);
    auto result = std::make_shared<HttpResult>(std::move(t->result));
    auto deliver = std::move(t->deliver);
    std::weak_ptr<Registry> registry = registry_;
    deliver([state, registry, id = t->id, completion = std::move(completion), result] {
      if (auto r = registry.lock()) r->erase(id);
      {
        std::lock_guard lock(state->mutex);
        if (state->cancelled || state->started) return;
        state->started = true;
      }
      completion(*result);
    });
  }

  void complete(CURL* easy, CURLcode code) {
    Transfer* raw = nullptr;
    curl_easy_getinfo(easy, CURLINFO_PRIVATE, reinterpret_cast<char**>(&raw));
    curl_multi_remove_handle(multi_, easy);
    auto it = running_.find(raw->id);
    std::unique_ptr<Transfer> t = std::move(it->second);
    running_.erase(it);
    if (code == CURLE_OK) {
      t->result.ok = true;
      curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &t->result.status);
    } else {
      t->result.ok = false;
      t->result.body.clear();
      if (t->bodyTooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        t->result.error = "body too large";
      } else if (code == CURLE_OPERATION_TIMEDOUT) {
        t->result.error = "timed out";
      } else {
        t->result.error = t->errorBuffer[0] ? std::string(t->errorBuffer) : curl_easy_strerror(code);
      }
    }
    finish(std::move(t));
  }

  void run() {
    for (;;) {
      std::deque<std::unique_ptr<Transfer>> added;
      std::deque<RequestId> cancels;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        added.swap(pending_);
        cancels.swap(cancels_);
      }
      for (auto& t : added) {
        bool cancelled;
        {
          std::lock_guard lock(t->state->mutex);
          cancelled = t->state->cancelled;
        }
        if (cancelled) continue;
        if (!prepare(*t) || curl_multi_add_handle(multi_, t->easy) != CURLM_OK) {
          if (t->result.error.empty()) t->result.error = "cannot start the transfer";
          finish(std::move(t));
          continue;
        }
        const RequestId id = t->id;
        running_.emplace(id, std::move(t));
      }
      for (RequestId id : cancels) {
        const auto it = running_.find(id);
        if (it == running_.end()) continue;
        curl_multi_remove_handle(multi_, it->second->easy);
        release(*it->second);
        running_.erase(it);
      }
      int stillRunning = 0;
      curl_multi_perform(multi_, &stillRunning);
      int queued = 0;
      while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
        if (msg->msg == CURLMSG_DONE) complete(msg->easy_handle, msg->data.result);
      }
      curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
  }

  CURLM* multi_ = nullptr;
  std::thread worker_;
  std::mutex mutex_;
  bool stopping_ = false;
  RequestId lastId_ = 0;
  std::deque<std::unique_ptr<Transfer>> pending_;
  std::deque<RequestId> cancels_;
  std::shared_ptr<Registry> registry_ = std::make_shared<Registry>();
  // Worker thread only.
  std::map<RequestId, std::unique_ptr<Transfer>> running_;
};

}  // namespace

HttpExecutor executorFor(std::shared_ptr<DispatchQueue> queue) {
  // Each task holds the queue, so a queue known only to this executor lives
  // until its tasks have run.
  return [queue = std::move(queue)](std::function<void()> task) {
    queue->async([queue, task = std::move(task)] { task(); });
  };
}

HttpExecutor executorFor(std::shared_ptr<MainQueue> queue) {
  return [queue = std::move(queue)](std::function<void()> task) { queue->post(std::move(task)); };
}

std::shared_ptr<HttpClient> HttpClient::shared() {
  static std::shared_ptr<HttpClient> client = create();
  return client;
}

std::shared_ptr<HttpClient> HttpClient::create() { return std::make_shared<CurlHttpClient>(); }

std::string percentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
                            byte == '~';
    if (unreserved) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

}  // namespace orv
