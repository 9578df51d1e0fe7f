#pragma once
// One client connection of the session server.
//
// Everything a connection does runs on its own strand (the socket's executor):
// reads, the frame decoder, the answers, the writer queue and the idle timer.
// Other threads talk to it only through sendNotice() and close(), which post
// onto that strand. Frames go out through a single writer queue: a frame is
// appended, and a write of every queued frame is started only when no write is
// under way, so frames leave in order and never interleave. The answers to the
// requests of one read are held until the read is handled and leave together.
//
// Timers and how they meet (the session-expiry sweep lives in SessionServer):
//
//   bytes received ──► lastActivity = now (no timer re-arm on the fast path)
//   (reading pauses while the writer queue is over its limit, so a peer that
//    never reads its answers cannot make the server buffer without end)
//
//   idle timer ──fires──► silent < idle? ──yes──► re-arm for the remainder
//                                        └─no──► notice id 3 r=2, session
//                                                forgotten, closing (below)
//   closing: last frame written ──► shutdown(send) ──► peer's EOF ──► closed
//            idle timer re-armed for kNoticeGrace: a peer that never drains
//            or never closes is cut off when it fires
//
//   socket lost (EOF, error, undecodable or oversize input) ──► closed, and
//   the session is detached: SessionTable records lostAt
//                                │
//   session-expiry sweep (SessionServer, every second) forgets detached
//   sessions once now - lostAt reaches the reconnection time-out; a handshake
//   with "s" before that resumes the session on its new connection.
//
// The idle timer belongs to the connection and dies with it; the expiry sweep
// belongs to the server and sees only the table, so neither waits on the other.

// A standard header first: Asio picks its handler allocator from macros that
// libstdc++ defines, and every translation unit must make the same choice
// (a mismatch frees with free() what was taken with operator new).
#include <cstddef>
#include <asio.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <vector>
#include <memory>
#include <string>

#include "server/session/SessionServices.h"
#include "transport/ORVFrameWriter.h"
#include "transport/ORVIoHandler.h"
#include "transport/ORVIoHandlerDelegate.h"
#include "wire/ORVMessage.h"

namespace orv::server {

// Reasons ("r") of the client-disconnection notice (id 3) this server sends.
enum class DisconnectionReason : int32_t {
  Idle = 2,
  Kicked = 3,
  Banned = 4,
  ForcedLogout = 5,
};

class SessionConnection : public ORVIoHandlerDelegate,
                          public std::enable_shared_from_this<SessionConnection> {
 public:
  using Clock = std::chrono::steady_clock;
  // How long a connection that got a notice may take to read it and close.
  static constexpr std::chrono::seconds kNoticeGrace{5};
  static constexpr size_t kReadBufferSize = 8192;
  // A peer that sends requests but does not read the answers would make the
  // writer queue grow without end. Above this many queued bytes (or four
  // largest messages, if more) the connection stops reading; it reads again
  // once the queue is down to half.
  static constexpr size_t kMinQueueLimit = 256 * 1024;
  // Asio gathers at most this many buffers into one system call.
  static constexpr size_t kMaxFramesPerWrite = 64;

  SessionConnection(asio::ip::tcp::socket socket, SessionTable::ConnectionId id,
                    std::shared_ptr<SessionServices> services);
  ~SessionConnection() override;

  // Registers the connection and starts reading. Call once, right after accept.
  void start();
  // Sends a client-disconnection notice with the reason, then closes.
  // The caller has already removed the session from the table.
  void sendNotice(DisconnectionReason reason);
  // Closes at once; the session (if any) stays resumable.
  void close();

  SessionTable::ConnectionId id() const { return id_; }
  const std::string& peerAddress() const { return peerAddress_; }

  // ORVIoHandlerDelegate: called on the strand, inside dataReceived.
  uint32_t maxMessageSize() const override;
  void handleMessage(ORVMessagePtr message) override;

 private:
  void readSome();
  size_t queueLimit() const;
  void onRead(const asio::error_code& error, size_t length);
  void onWrite(const asio::error_code& error);
  void armIdleTimer(Clock::duration after);
  void onIdleTimer(const asio::error_code& error);

  void handleHandshake(const ORVMessage& message);
  void handleLogin(const ORVMessage& message);
  void handleLogout(const ORVMessage& message);
  void handleExtension(const ORVMessage& message);
  void handleManualDisconnection();

  // Frames the message within the announced limits and queues it; a reply
  // that does not fit in "m" is replaced by an error answer.
  void send(const ORVMessage& message);
  void sendError(int32_t commandId, const std::string& command, SessionError error,
                 const std::string& text, ORVDataArrayPtr params);
  void enqueue(ORVFrame frame);
  // Starts one write of the queued frames (up to kMaxFramesPerWrite) unless a
  // write is under way.
  void writeQueued();
  void noticeOnStrand(DisconnectionReason reason);
  // Stops taking requests; once the queue is written the sending side is
  // shut down and the connection waits for the peer's EOF (or the grace time).
  void beginClose();
  void closeNow();

  asio::ip::tcp::socket socket_;
  asio::steady_timer idleTimer_;
  const SessionTable::ConnectionId id_;
  const std::shared_ptr<SessionServices> services_;
  std::unique_ptr<ORVIoHandler> ioHandler_;
  std::string peerAddress_;
  std::string sessionId_;  // empty until the handshake succeeded
  Clock::time_point lastActivity_;
  std::array<uint8_t, kReadBufferSize> readBuffer_{};
  std::deque<ORVFrame> writeQueue_;
  std::vector<asio::const_buffer> writeBuffers_;  // the frames of the write under way
  size_t framesWriting_ = 0;                       // the first this many of writeQueue_
  size_t queuedBytes_ = 0;
  bool holdingWrites_ = false;  // handling a read: its answers leave together after it
  bool readPaused_ = false;
  bool closing_ = false;
  bool sendShutDown_ = false;
  bool closed_ = false;
};

}  // namespace orv::server
