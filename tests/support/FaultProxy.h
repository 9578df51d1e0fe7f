#pragma once
// A fault-injecting TCP proxy for tests, on loopback.
//
// It listens on 127.0.0.1 (port chosen by the system) and forwards every
// accepted connection to 127.0.0.1:<target port>, byte for byte, on its own
// I/O thread. From the test thread, at any moment, it can be told to
//   - cut every live connection after N more bytes in one direction (so a
//     frame is cut in the middle), closing with FIN or with RST;
//   - hold every chunk back for D milliseconds before forwarding it;
//   - forward in pieces of k bytes (1 = byte by byte), with a pause between
//     pieces, so that the receiver sees many small chunks;
//   - reset every live connection at once (SO_LINGER 0, the peers see RST);
//   - refuse new connections for a while: accept and close at once, or stop
//     listening (connects then fail with "connection refused").
// Counters of the bytes forwarded each way and of the connections seen can be
// read at any time.
//
// Every control call is carried out on the I/O thread and returns once it has
// taken effect, so "after N more bytes" counts from the moment the call
// returns. Control calls must not be made from the proxy's own thread.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace orv::test {

class FaultProxy {
 public:
  enum class Direction { ClientToServer = 0, ServerToClient = 1 };
  // How a cut or a refused connection is closed: orderly (FIN) or reset (RST).
  enum class CloseMode { Fin, Reset };
  enum class RefuseMode { AcceptAndClose, StopListening };

  // Starts listening and forwarding to 127.0.0.1:targetPort.
  explicit FaultProxy(uint16_t targetPort);
  // Closes every connection and the listener and joins the I/O thread.
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  // The port the proxy listens on (127.0.0.1). Stays the same across
  // StopListening periods.
  uint16_t port() const { return port_; }

  // Arms a one-shot cut: once `bytes` more bytes have been forwarded in
  // `direction` (over all connections), every live connection is closed on
  // both sides; bytes beyond the N-th are never forwarded. 0 cuts at once.
  // Connections made after the cut are forwarded normally.
  void cutAfter(Direction direction, uint64_t bytes, CloseMode mode = CloseMode::Fin);
  // Disarms a cut that has not fired yet.
  void cancelCut();

  // Chunks read from now on are forwarded `delay` after they were read
  // (both directions; order is kept). Zero turns the delay off.
  void setDelay(std::chrono::milliseconds delay);

  // Writes go out in pieces of at most `pieceSize` bytes, with `gap` between
  // pieces. 0 turns splitting off.
  void setSplit(std::size_t pieceSize, std::chrono::microseconds gap = std::chrono::microseconds{0});

  // Closes every live connection now, on both sides, with RST.
  void resetAll();

  // Refuses new connections for `period` (zero: until acceptAgain()).
  void refuse(RefuseMode mode, std::chrono::milliseconds period = std::chrono::milliseconds{0});
  // Ends a refusal period early.
  void acceptAgain();

  // Bytes forwarded (written to the other side) in one direction.
  uint64_t bytesForwarded(Direction direction) const;
  // Connections accepted and forwarded (refused ones not included).
  uint64_t connectionsSeen() const { return connectionsSeen_.load(); }
  // Connections accepted only to be closed at once during a refusal.
  uint64_t connectionsRefused() const { return connectionsRefused_.load(); }
  // Connections currently open through the proxy.
  uint64_t liveConnections() const { return liveConnections_.load(); }
  // Connections closed by a cut or by resetAll().
  uint64_t connectionsCut() const { return connectionsCut_.load(); }

 private:
  class Impl;
  // Runs `fn` on the I/O thread and waits for it to finish.
  void runOnIo(std::function<void(Impl&)> fn);

  std::unique_ptr<Impl> impl_;
  uint16_t port_ = 0;
  std::atomic<uint64_t> forwarded_[2] = {0, 0};
  std::atomic<uint64_t> connectionsSeen_{0};
  std::atomic<uint64_t> connectionsRefused_{0};
  std::atomic<uint64_t> liveConnections_{0};
  std::atomic<uint64_t> connectionsCut_{0};
};

}  // namespace orv::test
