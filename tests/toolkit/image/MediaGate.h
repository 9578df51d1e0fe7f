#pragma once
// A gate in front of the reference server's media service for image tests: an
// HTTP server on loopback that forwards every GET to the real server and
// records what it was asked, in order. Paths can be held: their requests wait
// at the gate until released, so a test decides in which order answers
// arrive and sees how many transfers the client runs at once.

#include <httplib.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace orv::test {

class MediaGate {
 public:
  explicit MediaGate(int targetPort) : targetPort_(targetPort) {
    // One request per connection: a stop never waits out idle keep-alives.
    server_.set_keep_alive_max_count(1);
    server_.Get(".*", [this](const httplib::Request& req, httplib::Response& res) { forward(req, res); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~MediaGate() {
    releaseAll();
    server_.stop();
    thread_.join();
  }

  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

  void hold(const std::string& path) {
    std::lock_guard lock(mutex_);
    held_.insert(path);
  }
  void holdEverything() {
    std::lock_guard lock(mutex_);
    holdAll_ = true;
  }
  void release(const std::string& path) {
    {
      std::lock_guard lock(mutex_);
      held_.erase(path);
      released_.insert(path);
    }
    changed_.notify_all();
  }
  void releaseAll() {
    {
      std::lock_guard lock(mutex_);
      held_.clear();
      holdAll_ = false;
    }
    changed_.notify_all();
  }

  // Paths asked for, in arrival order.
  std::vector<std::string> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  std::size_t count(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count(requests_.begin(), requests_.end(), path));
  }
  std::size_t answered() const {
    std::lock_guard lock(mutex_);
    return answered_;
  }
  // The most requests that were inside the gate at one time.
  int maxInFlight() const {
    std::lock_guard lock(mutex_);
    return maxInFlight_;
  }

 private:
  void forward(const httplib::Request& req, httplib::Response& res) {
    {
      std::unique_lock lock(mutex_);
      requests_.push_back(req.path);
      maxInFlight_ = std::max(maxInFlight_, ++inFlight_);
      changed_.wait(lock, [&] { return (!holdAll_ || released_.count(req.path)) && !held_.count(req.path); });
    }
    httplib::Client upstream("127.0.0.1", targetPort_);
    if (auto answer = upstream.Get(req.path)) {
      res.status = answer->status;
      res.set_content(answer->body, answer->get_header_value("Content-Type").c_str());
    } else {
      res.status = 502;
    }
    std::lock_guard lock(mutex_);
    --inFlight_;
    ++answered_;
  }

  int targetPort_;
  int port_ = 0;
  httplib::Server server_;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::string> held_, released_;
  bool holdAll_ = false;
  std::vector<std::string> requests_;
  int inFlight_ = 0, maxInFlight_ = 0;
  std::size_t answered_ = 0;
};

}  // namespace orv::test
