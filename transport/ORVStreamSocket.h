#pragma once
// Asynchronous TCP socket. Every operation is handed to the socket's own
// serial queue ("ORVStreamSocket") and returns at once; every outcome reaches
// the delegate later, on the delegate queue.
//
// Supported: connect with host lookup (IPv4 and IPv6, "localhost" and
// "loopback" answered locally) and a time-out; queued reads that complete with
// what is available; queued writes that go out in order, each completely;
// read and write time-outs; disconnect, disconnect after writing; TCP
// keep-alive. Not provided: listening, TLS and the fixed-length / delimiter
// read forms (nothing in the library needs them).
//
// Lifetime: sockets are created with `create` and held by shared_ptr. The
// delegate is held weakly. Destroying the socket closes it quietly: pending
// reads and writes are dropped and no callback is made for them or for any
// event not yet delivered.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DispatchQueue.h"
#include "transport/ORVError.h"

class ORVStreamSocket;

inline constexpr const char* kORVStreamSocketErrorDomain = "ORVStreamSocketErrorDomain";

enum ORVStreamSocketError {
  ORVStreamSocketNoError = 0,
  ORVStreamSocketBadConfigError = 1,
  ORVStreamSocketBadParamError = 2,
  ORVStreamSocketConnectTimeoutError = 3,
  ORVStreamSocketReadTimeoutError = 4,
  ORVStreamSocketWriteTimeoutError = 5,
  ORVStreamSocketReadMaxedOutError = 6,
  ORVStreamSocketClosedError = 7,
  ORVStreamSocketOtherError = 8,
};

// Callbacks of the socket; each default does nothing. All are made on the
// delegate queue, one submission per event.
class ORVStreamSocketDelegate {
 public:
  virtual ~ORVStreamSocketDelegate() = default;
  // Connected to `host` (the address as text) and `port`.
  virtual void socket(ORVStreamSocket& sock, const std::string& host, uint16_t port);
  // A read completed with `data` (the bytes just read; with a caller buffer,
  // a view of that buffer from the read's offset). Valid during the call.
  virtual void socket(ORVStreamSocket& sock, std::span<const uint8_t> data, long tag);
  // A write completed.
  virtual void socket(ORVStreamSocket& sock, long tag);
  // The connection or the attempt ended; no error for a requested disconnect.
  virtual void socketDidDisconnect(ORVStreamSocket& sock, const std::optional<ORVError>& error);
};

class ORVStreamSocket : public std::enable_shared_from_this<ORVStreamSocket> {
 public:
  using DataPtr = std::shared_ptr<const std::vector<uint8_t>>;
  using BufferPtr = std::shared_ptr<std::vector<uint8_t>>;

  // Largest chunk of a read whose maximum length is given as 0.
  static constexpr std::size_t kDefaultReadLength = 65536;
  // Receive buffer of a connection until its reads fill it (then it grows).
  static constexpr std::size_t kInitialReceiveLength = 4096;

  // A socket with that delegate and delegate queue, and its own serial socket
  // queue labelled "ORVStreamSocket". IPv4 and IPv6 are enabled.
  static std::shared_ptr<ORVStreamSocket> create(std::weak_ptr<ORVStreamSocketDelegate> delegate,
                                                 orv::DispatchQueuePtr delegateQueue);
  ~ORVStreamSocket();
  ORVStreamSocket(const ORVStreamSocket&) = delete;
  ORVStreamSocket& operator=(const ORVStreamSocket&) = delete;

  void setDelegate(std::weak_ptr<ORVStreamSocketDelegate> delegate);
  void setDelegateQueue(orv::DispatchQueuePtr delegateQueue);
  void setIPv4Enabled(bool enabled);
  void setIPv6Enabled(bool enabled);
  // With true, an IPv4 address is tried first when the host has both kinds.
  void setPreferIPv4OverIPv6(bool prefer);

  // Starts connecting. Answers false with `error` at once for an unusable
  // call (no delegate or delegate queue, already started, missing host, both
  // families disabled); otherwise true, and the outcome arrives as the
  // connect callback or socketDidDisconnect. `timeout` in seconds, negative:
  // none.
  bool connectToHost(const std::string& host, uint16_t port, double timeout, ORVError& error);

  // Queues one read completing with 1..maxLength bytes (0: kDefaultReadLength).
  // With a buffer, the bytes are stored from `offset` (the buffer is resized
  // to end after them); a buffer shorter than `offset` makes the call do
  // nothing. Without one, each read gets a new buffer.
  void readDataWithTimeout(double timeout, BufferPtr buffer, std::size_t offset, std::size_t maxLength, long tag);
  // Queues one write of `length` bytes of `data` from `offset`; zero length
  // does nothing; a range outside the data throws std::out_of_range.
  void writeData(DataPtr data, std::size_t offset, std::size_t length, double timeout, long tag);
  void writeData(DataPtr data, double timeout, long tag);

  // Closes at once; queued reads and writes are dropped; socketDidDisconnect
  // follows with no error (when a connect had been started).
  void disconnect();
  // Accepts no more reads or writes and closes once every queued write is done.
  void disconnectAfterWriting();
  // Runs the block on the socket queue and returns when it has finished.
  void performBlock(const std::function<void()>& block);
  // Turns on TCP keep-alive so an idle connection is kept and a dead peer is
  // noticed. Only valid on the socket queue, on a connected socket.
  bool enableBackgroundingOnSocket();

  bool isConnected();
  bool isDisconnected();
  std::string connectedHost();
  uint16_t connectedPort();
  uint16_t localPort();
  const orv::DispatchQueuePtr& socketQueue() const { return socketQueue_; }

  struct Io;

 private:
  enum class State { Idle, Connecting, Connected };
  struct ReadPacket {
    BufferPtr buffer;
    std::size_t offset;
    std::size_t maxLength;
    double timeout;
    long tag;
  };
  struct WritePacket {
    DataPtr data;
    std::size_t offset;
    std::size_t length;
    double timeout;
    long tag;
  };
  struct Endpoint;

  ORVStreamSocket(std::weak_ptr<ORVStreamSocketDelegate> delegate, orv::DispatchQueuePtr delegateQueue);

  // Everything below runs on the socket queue.
  bool startConnect(const std::string& host, uint16_t port, double timeout, ORVError& error);
  void lookupDone(const std::vector<Endpoint>& endpoints, uint16_t port);
  void connectTo(std::shared_ptr<std::vector<Endpoint>> endpoints, std::size_t index, uint16_t port);
  void didConnect();
  void maybeDequeueRead();
  void maybeDequeueWrite();
  void startSlowWrite(WritePacket packet);
  void reportWritten(long tag);
  void closeWithError(std::optional<ORVError> error);
  void closeQuietly();
  template <typename Call>
  void notifyDelegate(Call call, bool deferred = false);

  orv::DispatchQueuePtr socketQueue_;

  std::mutex delegateMutex_;  // guards the two delegate fields
  std::weak_ptr<ORVStreamSocketDelegate> delegate_;
  orv::DispatchQueuePtr delegateQueue_;

  // Socket-queue state.
  std::unique_ptr<Io> io_;
  State state_ = State::Idle;
  bool shuttingDown_ = false;  // disconnectAfterWriting called
  bool reading_ = false;
  bool writing_ = false;
  unsigned long epoch_ = 0;  // bumped at every close: late completions compare it
  bool ipv4Enabled_ = true;
  bool ipv6Enabled_ = true;
  bool preferIPv4_ = false;
  std::deque<ReadPacket> reads_;
  std::deque<WritePacket> writes_;
};

using ORVStreamSocketPtr = std::shared_ptr<ORVStreamSocket>;
