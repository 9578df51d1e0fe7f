#pragma once
// Blocking loopback TCP helpers for the socket tests: a listener on an
// ephemeral port whose accepted connections the test drives by hand.

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/read.hpp>
#include <asio/write.hpp>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv::test {

class LoopbackListener {
 public:
  explicit LoopbackListener(const asio::ip::address& address = asio::ip::address_v4::loopback(), int backlog = 16)
      : acceptor_(io_) {
    asio::ip::tcp::endpoint ep(address, 0);
    acceptor_.open(ep.protocol());
    acceptor_.bind(ep);
    acceptor_.listen(backlog);
  }
  uint16_t port() const { return acceptor_.local_endpoint().port(); }
  asio::io_context& io() { return io_; }

  // The accepted socket runs on `io` when given, so it may outlive the listener.
  std::unique_ptr<asio::ip::tcp::socket> accept(asio::io_context* io = nullptr) {
    auto peer = std::make_unique<asio::ip::tcp::socket>(io ? *io : io_);
    acceptor_.accept(*peer);
    return peer;
  }

  // Everything the peer sends until it closes.
  static std::vector<uint8_t> readToEnd(asio::ip::tcp::socket& peer) {
    std::vector<uint8_t> all;
    uint8_t chunk[65536];
    std::error_code ec;
    for (;;) {
      const std::size_t n = peer.read_some(asio::buffer(chunk), ec);
      all.insert(all.end(), chunk, chunk + n);
      if (ec) return all;
    }
  }

 private:
  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
};

inline std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace orv::test
