#pragma once
// The few blocking-socket calls the plain-socket targets share: connect to a
// loopback port with TCP_NODELAY and I/O time-outs, write all, read exactly.

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv::bench {

class BlockingSocket {
 public:
  // A lane gives up on a read or write after this long, so a broken run ends.
  static constexpr int kIoTimeoutSeconds = 5;

  // A connected socket to 127.0.0.1:port, or -1 with the reason in `error`.
  static int connectLoopback(uint16_t port, std::string& error);
  static void setNoDelay(int fd);
  static bool writeAll(int fd, const uint8_t* data, std::size_t n);
  static bool readExactly(int fd, uint8_t* buffer, std::size_t n);
};

}  // namespace orv::bench
