#include "bench/loopback/FloorTarget.h"

#include "bench/loopback/BlockingSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace orv::bench {
namespace {

using Socket = BlockingSocket;

class FloorLane : public Lane {
 public:
  FloorLane(int fd, std::size_t requestSize, std::size_t answerSize)
      : fd_(fd), request_(requestSize, uint8_t{'q'}), answer_(answerSize) {}
  ~FloorLane() override { ::close(fd_); }
  bool sendRequest() override { return Socket::writeAll(fd_, request_.data(), request_.size()); }
  bool awaitAnswer() override { return Socket::readExactly(fd_, answer_.data(), answer_.size()); }

 private:
  int fd_;
  std::vector<uint8_t> request_;
  std::vector<uint8_t> answer_;
};

}  // namespace

FloorTarget::FloorTarget(std::size_t requestSize, std::size_t answerSize)
    : requestSize_(requestSize), answerSize_(answerSize) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listenFd_, 512) != 0 || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error(std::string("floor server: ") + std::strerror(errno));
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { acceptLoop(); });
}

FloorTarget::~FloorTarget() {
  ::shutdown(listenFd_, SHUT_RDWR);  // wakes the blocked accept()
  acceptor_.join();
  {
    std::lock_guard lock(mutex_);
    for (int fd : connections_) ::shutdown(fd, SHUT_RDWR);
  }
  for (std::thread& worker : workers_) worker.join();
  for (int fd : connections_) ::close(fd);
  ::close(listenFd_);
}

void FloorTarget::acceptLoop() {
  for (;;) {
    const int fd = ::accept(listenFd_, nullptr, nullptr);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    Socket::setNoDelay(fd);
    std::lock_guard lock(mutex_);
    connections_.push_back(fd);
    workers_.emplace_back([this, fd] { serve(fd); });
  }
}

void FloorTarget::serve(int fd) {
  std::vector<uint8_t> request(requestSize_);
  const std::vector<uint8_t> answer(answerSize_, uint8_t{'a'});
  while (Socket::readExactly(fd, request.data(), request.size()) &&
         Socket::writeAll(fd, answer.data(), answer.size())) {
  }
}

std::unique_ptr<Lane> FloorTarget::openLane(std::string& error) {
  const int fd = Socket::connectLoopback(port_, error);
  if (fd < 0) return nullptr;
  return std::make_unique<FloorLane>(fd, requestSize_, answerSize_);
}

}  // namespace orv::bench
