#pragma once
// The floor: what loopback TCP itself costs with the least possible work. A
// blocking server, one thread per connection, reads a fixed-size request and
// writes a fixed-size answer; lanes are blocking sockets with TCP_NODELAY.
// Nothing is parsed, framed or copied beyond the socket calls.

#include <atomic>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/loopback/LoopbackTarget.h"

namespace orv::bench {

class FloorTarget : public LoopbackTarget {
 public:
  FloorTarget(std::size_t requestSize, std::size_t answerSize);
  ~FloorTarget() override;

  std::string name() const override { return "floor"; }
  std::unique_ptr<Lane> openLane(std::string& error) override;

 private:
  void acceptLoop();
  void serve(int fd);

  std::size_t requestSize_;
  std::size_t answerSize_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::thread acceptor_;
  std::mutex mutex_;
  std::vector<int> connections_;
  std::vector<std::thread> workers_;
};

}  // namespace orv::bench
