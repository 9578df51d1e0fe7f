#pragma once
// A small blocking client for tests and load tools: connects to a loopback
// server, sends messages as frames and receives the next decoded message with
// a time-out. Built from the library's own frame writer and frame decoder, so
// what it sends and accepts is exactly what the library would.
//
//   orv::test::BlockingFrameClient client;
//   ASSERT_TRUE(client.connect(port));
//   client.send(*ORVRequest::handshakeRequest(std::nullopt));
//   ORVMessagePtr answer = client.receive(2s);   // nullptr: time-out or closed
//
// Header-only so any test folder can use it with just the transport library.
// One thread at a time per client, except that one thread may send (send,
// sendRaw) while another receives: the two halves share no mutable state.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "transport/ORVFrameWriter.h"
#include "transport/ORVIoHandler.h"
#include "transport/ORVIoHandlerDelegate.h"
#include "transport/ORVSnappyCompressor.h"
#include "wire/ORVMessage.h"

namespace orv::test {

class BlockingFrameClient {
 public:
  // One received message with the header byte of the frame that carried it.
  struct Received {
    ORVMessagePtr message;
    uint8_t header = 0;
  };

  // maxMessageSize: largest payload accepted and sent; compressionThreshold:
  // payloads above it are sent compressed (never, by default).
  explicit BlockingFrameClient(uint32_t maxMessageSize = 64u * 1024u * 1024u,
                               uint32_t compressionThreshold = std::numeric_limits<uint32_t>::max())
      : sink_(std::make_shared<Sink>(maxMessageSize)),
        compressor_(std::make_shared<ORVSnappyCompressor>()),
        decoder_(sink_, compressor_),
        compressionThreshold_(compressionThreshold) {
    sink_->decoder = &decoder_;
  }
  ~BlockingFrameClient() { close(); }
  BlockingFrameClient(const BlockingFrameClient&) = delete;
  BlockingFrameClient& operator=(const BlockingFrameClient&) = delete;

  // Connects to an IPv4 host; binds to localAddress first when given (for
  // example "127.0.0.2", to appear as another client address).
  bool connect(uint16_t port, const std::string& host = "127.0.0.1", const std::string& localAddress = "") {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (!localAddress.empty()) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      if (::inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr) != 1 ||
          ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        close();
        return false;
      }
    }
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    if (::inet_pton(AF_INET, host.c_str(), &remote.sin_addr) != 1 ||
        ::connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
      close();
      return false;
    }
    decoder_.reset();
    sink_->queue.clear();
    sink_->failed = false;
    peerClosed_ = false;
    return true;
  }

  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool isOpen() const { return fd_ >= 0; }

  // Frames and sends the message; false when it cannot be framed or written.
  bool send(const ORVMessage& message) {
    auto frame = ORVFrameWriter::buildFrame(message, compressionThreshold_, sink_->limit, compressor_.get());
    return frame && sendRaw(frame->bytes());
  }

  // Sends bytes as they are (garbage, hand-made frames).
  bool sendRaw(std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
  }

  // The next message, or a null message when none came within the time-out,
  // the peer closed, or the bytes did not decode.
  Received receiveFrame(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (sink_->queue.empty()) {
      if (fd_ < 0 || peerClosed_ || sink_->failed) return {};
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() < 0) return {};
      pollfd p{fd_, POLLIN, 0};
      int ready = ::poll(&p, 1, static_cast<int>(left.count()));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return {};
      uint8_t buffer[16384];
      ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        peerClosed_ = true;
        continue;
      }
      if (!decoder_.dataReceived(std::span<const uint8_t>(buffer, static_cast<size_t>(n)))) sink_->failed = true;
    }
    Received next = std::move(sink_->queue.front());
    sink_->queue.pop_front();
    return next;
  }

  ORVMessagePtr receive(std::chrono::milliseconds timeout) { return receiveFrame(timeout).message; }

  // True when the peer closed the connection (EOF or reset) within the
  // time-out; messages still arriving before the close are counted in
  // `messagesBefore` and dropped.
  bool waitForClose(std::chrono::milliseconds timeout, int* messagesBefore = nullptr) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    int count = 0;
    while (!peerClosed_) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() < 0) break;
      if (receiveFrame(left).message) ++count;
      if (sink_->failed) break;
    }
    if (messagesBefore) *messagesBefore = count;
    return peerClosed_;
  }

  // The bytes did not decode (or a frame exceeded maxMessageSize).
  bool decodeFailed() const { return sink_->failed; }

 private:
  struct Sink : ORVIoHandlerDelegate {
    explicit Sink(uint32_t max) : limit(max) {}
    uint32_t maxMessageSize() const override { return limit; }
    void handleMessage(ORVMessagePtr message) override {
      queue.push_back({std::move(message), static_cast<uint8_t>(decoder->header())});
    }
    const uint32_t limit;
    ORVIoHandler* decoder = nullptr;
    std::deque<Received> queue;
    bool failed = false;
  };

  std::shared_ptr<Sink> sink_;
  ORVCompressorPtr compressor_;
  ORVIoHandler decoder_;
  uint32_t compressionThreshold_;
  int fd_ = -1;
  bool peerClosed_ = false;
};

}  // namespace orv::test
