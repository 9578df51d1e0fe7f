#include "bench/loopback/FramesTarget.h"

#include <unistd.h>

#include <optional>
#include <sys/socket.h>

#include "bench/loopback/BlockingSocket.h"
#include "transport/ORVFrameWriter.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVRequest.h"

namespace orv::bench {
namespace {

// The client's defaults; a 100-byte echo stays far below both.
constexpr uint32_t kCompressionThreshold = 1024;
constexpr uint32_t kMaxMessageSize = 4096;

std::vector<uint8_t> frameOf(const ORVMessage& message) {
  std::optional<ORVFrame> frame = ORVFrameWriter::buildFrame(message, kCompressionThreshold, kMaxMessageSize, nullptr);
  if (!frame) return {};
  const auto bytes = frame->bytes();
  return {bytes.begin(), bytes.end()};
}

class FramesLane : public Lane {
 public:
  FramesLane(int fd, const std::vector<uint8_t>& request) : fd_(fd), request_(request), buffer_(64 * 1024) {}
  ~FramesLane() override { ::close(fd_); }

  bool sendRequest() override { return BlockingSocket::writeAll(fd_, request_.data(), request_.size()); }

  // Reads one frame: header byte, varint length, then skips the payload.
  bool awaitAnswer() override {
    uint8_t header = 0;
    if (!take(&header, 1)) return false;
    uint32_t length = 0;
    for (int shift = 0;; shift += 7) {
      uint8_t b = 0;
      if (shift > 28 || !take(&b, 1)) return false;
      length |= uint32_t(b & 0x7F) << shift;
      if ((b & 0x80) == 0) break;
    }
    return take(nullptr, length);
  }

 private:
  // Moves n bytes out of the stream (into `out` unless null), refilling the
  // buffer with as much as the socket has.
  bool take(uint8_t* out, std::size_t n) {
    while (n > 0) {
      if (begin_ == end_) {
        const ssize_t got = ::recv(fd_, buffer_.data(), buffer_.size(), 0);
        if (got <= 0) return false;
        begin_ = 0;
        end_ = static_cast<std::size_t>(got);
      }
      const std::size_t step = std::min(n, end_ - begin_);
      if (out != nullptr) {
        std::copy_n(buffer_.data() + begin_, step, out);
        out += step;
      }
      begin_ += step;
      n -= step;
    }
    return true;
  }

  int fd_;
  const std::vector<uint8_t>& request_;
  std::vector<uint8_t> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
};

}  // namespace

FramesTarget::FramesTarget(const std::string& serverPath, std::size_t contentSize)
    : server_(serverPath, {}),
      handshakeFrame_(frameOf(*ORVRequest::handshakeRequest(std::nullopt))),
      echoFrame_(frameOf(*ORVRequest::extensionRequestWithCommand(
          "echo", ORVDataObject::builder().putByteArray(std::vector<uint8_t>(contentSize, uint8_t{'p'}), "b").build()))) {}

std::unique_ptr<Lane> FramesTarget::openLane(std::string& error) {
  if (!server_.ok()) {
    error = server_.error();
    return nullptr;
  }
  if (echoFrame_.empty()) {
    error = "echo request larger than the frame limit";
    return nullptr;
  }
  const int fd = BlockingSocket::connectLoopback(server_.port(), error);
  if (fd < 0) return nullptr;
  auto lane = std::make_unique<FramesLane>(fd, echoFrame_);
  // The handshake opens the session; its answer is one frame.
  if (!BlockingSocket::writeAll(fd, handshakeFrame_.data(), handshakeFrame_.size()) || !lane->awaitAnswer()) {
    error = "no handshake answer from orv-server";
    return nullptr;
  }
  return lane;
}

}  // namespace orv::bench
