#pragma once
// A session server for tests, on loopback, scripted per test.
//
// Runs an Asio acceptor on 127.0.0.1 (a free port) on its own thread. Every
// accepted connection becomes a Peer that decodes frames with the library's
// frame codec and records what it receives, raw bytes included. By default a
// peer answers the handshake (session id "S1", or the one the client sends
// back), pings with pongs, and nothing else; a test replaces `respond` to
// script other answers, and uses Peer::send / sendRaw / close directly.

#include <asio.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "transport/ORVFrameWriter.h"
#include "transport/ORVIoHandler.h"
#include "transport/ORVIoHandlerDelegate.h"
#include "transport/ORVSnappyCompressor.h"
#include "wire/ORVCommand.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVMessage.h"

namespace orv::test {

using namespace std::chrono_literals;

// Waits until `pred` holds or the time-out passes; answers the last `pred`.
template <typename Pred>
bool waitFor(Pred pred, std::chrono::milliseconds timeout = 5s) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return pred();
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

inline ORVMessagePtr answer(int32_t commandId, ORVDataObjectPtr content = nullptr) {
  return ORVMessage::messageWithCommandId(commandId, std::move(content));
}

inline ORVMessagePtr extension(const std::string& command, ORVDataObjectPtr content = nullptr) {
  return ORVMessage::messageWithCommandId(ORVCommandIdExtension, command, std::move(content));
}

inline ORVMessagePtr handshakeAnswer(const std::string& session, int32_t threshold = 1024, int32_t max = 4096) {
  return answer(ORVCommandIdHandshake, ORVDataObject::builder()
                                           .putString(session, ORVKeySessionId)
                                           .putInt32(threshold, ORVKeyCompressionThreshold)
                                           .putInt32(max, ORVKeyMaxMessageSize)
                                           .build());
}

inline ORVMessagePtr loginAnswer(const std::string& zone, const std::string& name, int32_t userId,
                                 int32_t reconnectionTimeout) {
  return answer(ORVCommandIdLogin, ORVDataObject::builder()
                                       .putString(zone, ORVKeyZone)
                                       .putString(name, ORVKeyUserName)
                                       .putInt32(userId, ORVKeyUserId)
                                       .putInt32(reconnectionTimeout, ORVKeyReconnectionTimeout)
                                       .build());
}

inline ORVMessagePtr errorAnswer(int32_t commandId, int32_t code, const std::string& param) {
  return answer(commandId, ORVDataObject::builder()
                               .putInt32(code, ORVKeyErrorCode)
                               .putDataArray(ORVDataArray::builder().addString(param).build(), ORVKeyErrorParams)
                               .build());
}

class ScriptedServer {
 public:
  class Peer : public ORVIoHandlerDelegate, public std::enable_shared_from_this<Peer> {
   public:
    Peer(ScriptedServer& server, asio::ip::tcp::socket socket) : server_(server), socket_(std::move(socket)) {}

    void begin() {
      codec_ = ORVIoHandler::ioHandlerWithConnector(weak_from_this(), std::make_shared<ORVSnappyCompressor>());
      read();
    }

    // Frames and sends a message (never compressed).
    void send(const ORVMessagePtr& message) {
      auto frame = ORVFrameWriter::buildFrame(*message, 0x7FFFFFFF, 0x7FFFFFFF, nullptr);
      if (frame) sendRaw(std::vector<uint8_t>(frame->bytes().begin(), frame->bytes().end()));
    }
    void sendRaw(std::vector<uint8_t> bytes) {
      asio::post(socket_.get_executor(), [self = shared_from_this(), bytes = std::move(bytes)]() mutable {
        auto buffer = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
        asio::async_write(self->socket_, asio::buffer(*buffer), [self, buffer](std::error_code, size_t) {});
      });
    }
    // Closes the connection from the server's side.
    void close() {
      asio::post(socket_.get_executor(), [self = shared_from_this()] {
        std::error_code ignored;
        self->socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        self->socket_.close(ignored);
      });
    }

    // Messages received so far, and raw bytes received so far.
    std::vector<ORVMessagePtr> messages() const {
      std::lock_guard lock(mutex_);
      return {received_.begin(), received_.end()};
    }
    std::vector<uint8_t> bytes() const {
      std::lock_guard lock(mutex_);
      return bytes_;
    }
    size_t count(int32_t commandId) const {
      std::lock_guard lock(mutex_);
      size_t n = 0;
      for (const auto& m : received_) n += m->commandId() == commandId;
      return n;
    }
    // The first received message with that id (waiting up to `timeout`).
    ORVMessagePtr waitForMessage(int32_t commandId, std::chrono::milliseconds timeout = 5s) const {
      ORVMessagePtr found;
      waitFor(
          [&] {
            std::lock_guard lock(mutex_);
            for (const auto& m : received_) {
              if (m->commandId() == commandId) {
                found = m;
                return true;
              }
            }
            return false;
          },
          timeout);
      return found;
    }
    bool isClosed() const { return closed_.load(); }

    uint32_t maxMessageSize() const override { return 0x7FFFFFFF; }
    void handleMessage(ORVMessagePtr message) override {
      {
        std::lock_guard lock(mutex_);
        received_.push_back(message);
      }
      Responder respond;
      {
        std::lock_guard lock(server_.mutex_);
        respond = server_.respond_;
      }
      if (respond) respond(*this, message);
    }

   private:
    void read() {
      socket_.async_read_some(asio::buffer(chunk_), [self = shared_from_this()](std::error_code ec, size_t n) {
        if (ec) {
          self->closed_.store(true);
          return;
        }
        {
          std::lock_guard lock(self->mutex_);
          self->bytes_.insert(self->bytes_.end(), self->chunk_.begin(), self->chunk_.begin() + n);
        }
        if (!self->codec_->dataReceived({self->chunk_.data(), n})) {
          self->close();
          return;
        }
        self->read();
      });
    }

    ScriptedServer& server_;
    asio::ip::tcp::socket socket_;
    std::unique_ptr<ORVIoHandler> codec_;
    std::array<uint8_t, 65536> chunk_{};
    mutable std::mutex mutex_;
    std::deque<ORVMessagePtr> received_;
    std::vector<uint8_t> bytes_;
    std::atomic<bool> closed_{false};
  };

  using PeerPtr = std::shared_ptr<Peer>;
  using Responder = std::function<void(Peer&, const ORVMessagePtr&)>;

  // The default script: handshake answered (resuming the session id sent, or
  // "S1"), ping answered with pong.
  static void standardReply(Peer& peer, const ORVMessagePtr& m) {
    if (m->commandId() == ORVCommandIdHandshake) {
      peer.send(handshakeAnswer(m->stringForKey(ORVKeySessionId).value_or("S1")));
    } else if (m->commandId() == ORVCommandIdPing) {
      peer.send(answer(ORVCommandIdPong));
    }
  }

  ScriptedServer() : acceptor_(io_, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
    respond_ = standardReply;
    accept();
    thread_ = std::thread([this] { io_.run(); });
  }
  ~ScriptedServer() {
    asio::post(io_, [this] {
      std::error_code ignored;
      acceptor_.close(ignored);
      io_.stop();
    });
    thread_.join();
  }

  uint16_t port() const { return acceptor_.local_endpoint().port(); }

  void setResponder(Responder respond) {
    std::lock_guard lock(mutex_);
    respond_ = std::move(respond);
  }

  // Accepted connections in order; waits for the n-th (1-based).
  PeerPtr waitForPeer(size_t n = 1, std::chrono::milliseconds timeout = 5s) {
    PeerPtr peer;
    waitFor(
        [&] {
          std::lock_guard lock(mutex_);
          if (peers_.size() >= n) peer = peers_[n - 1];
          return peer != nullptr;
        },
        timeout);
    return peer;
  }
  size_t peerCount() const {
    std::lock_guard lock(mutex_);
    return peers_.size();
  }

 private:
  void accept() {
    acceptor_.async_accept([this](std::error_code ec, asio::ip::tcp::socket socket) {
      if (ec) return;
      auto peer = std::make_shared<Peer>(*this, std::move(socket));
      {
        std::lock_guard lock(mutex_);
        peers_.push_back(peer);
      }
      peer->begin();
      accept();
    });
  }

  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
  std::thread thread_;
  mutable std::mutex mutex_;
  Responder respond_;
  std::vector<PeerPtr> peers_;
};

}  // namespace orv::test
