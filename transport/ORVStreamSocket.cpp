#include "transport/ORVStreamSocket.h"

#include <asio/connect.hpp>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/write.hpp>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "platform/HopTrace.h"
#include "platform/Log.h"

// How a connection moves through the socket queue:
//
//   connectToHost ─► lookup ─► connect (next address on failure) ─► Connected
//        │ connect timer ─────────────────────────────► close(time-out)
//   Connected: one read in flight (read timer) and writes sent in order,
//   each straight to the kernel or, when it cannot take all of it, finished
//   by one Asio write in flight (write timer); each completion starts the
//   next queued packet.
//   Any close bumps `epoch_`, so completions of the old connection that are
//   still on their way find a different epoch and do nothing.

void ORVStreamSocketDelegate::socket(ORVStreamSocket&, const std::string&, uint16_t) {}
void ORVStreamSocketDelegate::socket(ORVStreamSocket&, std::span<const uint8_t>, long) {}
void ORVStreamSocketDelegate::socket(ORVStreamSocket&, long) {}
void ORVStreamSocketDelegate::socketDidDisconnect(ORVStreamSocket&, const std::optional<ORVError>&) {}

struct ORVStreamSocket::Io {
  explicit Io(asio::io_context& io)
      : socket(io), resolver(io), connectTimer(io), readTimer(io), writeTimer(io) {}
  // Where reads without a caller buffer land before their bytes are copied
  // into a chunk of their own. Declared before the socket, so it outlives
  // any read the socket still has pending when they are destroyed.
  std::vector<uint8_t> receive;
  asio::ip::tcp::socket socket;
  asio::ip::tcp::resolver resolver;
  asio::steady_timer connectTimer;
  asio::steady_timer readTimer;
  asio::steady_timer writeTimer;
};

struct ORVStreamSocket::Endpoint {
  asio::ip::tcp::endpoint endpoint;
};

namespace {

ORVError socketError(ORVStreamSocketError code, std::string message) {
  return ORVError{kORVStreamSocketErrorDomain, code, std::move(message), {}};
}

ORVError posixError(const std::error_code& ec, const char* reason) {
  return ORVError{kORVPOSIXErrorDomain, ec.value(), ec.message(), reason};
}

std::chrono::steady_clock::duration seconds(double s) {
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(s));
}

}  // namespace

std::shared_ptr<ORVStreamSocket> ORVStreamSocket::create(std::weak_ptr<ORVStreamSocketDelegate> delegate,
                                                         orv::DispatchQueuePtr delegateQueue) {
  return std::shared_ptr<ORVStreamSocket>(new ORVStreamSocket(std::move(delegate), std::move(delegateQueue)));
}

ORVStreamSocket::ORVStreamSocket(std::weak_ptr<ORVStreamSocketDelegate> delegate, orv::DispatchQueuePtr delegateQueue)
    : socketQueue_(orv::DispatchQueue::serial("ORVStreamSocket")),
      delegate_(std::move(delegate)),
      delegateQueue_(std::move(delegateQueue)),
      io_(std::make_unique<Io>(socketQueue_->ioContext())) {}

ORVStreamSocket::~ORVStreamSocket() {
  // The Asio objects belong to the socket queue's thread: close and destroy
  // them there. Completions still queued hold only weak references.
  socketQueue_->sync([this] {
    closeQuietly();
    io_.reset();
  });
}

void ORVStreamSocket::setDelegate(std::weak_ptr<ORVStreamSocketDelegate> delegate) {
  std::lock_guard lock(delegateMutex_);
  delegate_ = std::move(delegate);
}

void ORVStreamSocket::setDelegateQueue(orv::DispatchQueuePtr delegateQueue) {
  std::lock_guard lock(delegateMutex_);
  delegateQueue_ = std::move(delegateQueue);
}

void ORVStreamSocket::setIPv4Enabled(bool enabled) {
  socketQueue_->sync([&] { ipv4Enabled_ = enabled; });
}

void ORVStreamSocket::setIPv6Enabled(bool enabled) {
  socketQueue_->sync([&] { ipv6Enabled_ = enabled; });
}

void ORVStreamSocket::setPreferIPv4OverIPv6(bool prefer) {
  socketQueue_->sync([&] { preferIPv4_ = prefer; });
}

template <typename Call>
void ORVStreamSocket::notifyDelegate(Call call, bool deferred) {
  std::weak_ptr<ORVStreamSocketDelegate> delegate;
  orv::DispatchQueuePtr queue;
  {
    std::lock_guard lock(delegateMutex_);
    delegate = delegate_;
    queue = delegateQueue_;
  }
  if (!queue) return;
  auto task = [weakSelf = weak_from_this(), delegate = std::move(delegate), call = std::move(call)] {
    auto self = weakSelf.lock();
    auto target = delegate.lock();
    if (self && target) call(*target, *self);
  };
  // Data read and writes done are handed over at the end of the completion
  // that produced them: on this pool thread, with no other thread woken.
  if (deferred) {
    queue->defer(std::move(task));
  } else {
    queue->async(std::move(task));
  }
}

// ---- connect ---------------------------------------------------------------

bool ORVStreamSocket::connectToHost(const std::string& host, uint16_t port, double timeout, ORVError& error) {
  bool accepted = false;
  socketQueue_->sync([&] { accepted = startConnect(host, port, timeout, error); });
  return accepted;
}

bool ORVStreamSocket::startConnect(const std::string& host, uint16_t port, double timeout, ORVError& error) {
  bool hasDelegate, hasQueue;
  {
    std::lock_guard lock(delegateMutex_);
    hasDelegate = !delegate_.expired();
    hasQueue = delegateQueue_ != nullptr;
  }
  if (!hasDelegate) {
    error = socketError(ORVStreamSocketBadConfigError, "Attempting to connect without a delegate. Set a delegate first.");
    return false;
  }
  if (!hasQueue) {
    error = socketError(ORVStreamSocketBadConfigError,
                        "Attempting to connect without a delegate queue. Set a delegate queue first.");
    return false;
  }
  if (state_ != State::Idle) {
    error = socketError(ORVStreamSocketBadConfigError,
                        "Attempting to connect while connected or accepting connections. Disconnect first.");
    return false;
  }
  if (!ipv4Enabled_ && !ipv6Enabled_) {
    error = socketError(ORVStreamSocketBadConfigError,
                        "Both IPv4 and IPv6 have been disabled. Must enable at least one protocol first.");
    return false;
  }
  if (host.empty()) {
    error = socketError(ORVStreamSocketBadParamError,
                        "Invalid host parameter (nil or \"\"). Should be a domain name or IP address string.");
    return false;
  }

  state_ = State::Connecting;
  shuttingDown_ = false;
  const unsigned long epoch = epoch_;
  std::weak_ptr<ORVStreamSocket> weak = weak_from_this();

  if (timeout >= 0) {
    io_->connectTimer.expires_after(seconds(timeout));
    io_->connectTimer.async_wait(socketQueue_->wrap([weak, epoch](const std::error_code& ec) {
      auto self = weak.lock();
      if (ec || !self || self->epoch_ != epoch || self->state_ != State::Connecting) return;
      self->closeWithError(socketError(ORVStreamSocketConnectTimeoutError, "Attempt to connect to host timed out"));
    }));
  }

  // Names the machine always knows are answered without the resolver.
  if (host == "localhost" || host == "loopback") {
    lookupDone({Endpoint{{asio::ip::address_v4::loopback(), port}}, Endpoint{{asio::ip::address_v6::loopback(), port}}},
               port);
    return true;
  }
  std::error_code parseError;
  const auto literal = asio::ip::make_address(host, parseError);
  if (!parseError) {
    lookupDone({Endpoint{{literal, port}}}, port);
    return true;
  }
  io_->resolver.async_resolve(
      host, std::to_string(port), socketQueue_->wrap([weak, epoch, port](const std::error_code& ec, asio::ip::tcp::resolver::results_type results) {
        auto self = weak.lock();
        if (!self || self->epoch_ != epoch || ec == asio::error::operation_aborted) return;
        if (ec) {
          self->closeWithError(ORVError{kORVNetDBErrorDomain, ec.value(), ec.message(), {}});
          return;
        }
        std::vector<Endpoint> found;
        for (const auto& entry : results) found.push_back(Endpoint{entry.endpoint()});
        self->lookupDone(found, port);
      }));
  return true;
}

void ORVStreamSocket::lookupDone(const std::vector<Endpoint>& endpoints, uint16_t port) {
  auto ordered = std::make_shared<std::vector<Endpoint>>();
  // IPv4 first when preferred, otherwise the lookup's order; disabled
  // families are left out.
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& e : endpoints) {
      const bool v4 = e.endpoint.address().is_v4();
      if ((v4 && !ipv4Enabled_) || (!v4 && !ipv6Enabled_)) continue;
      if (preferIPv4_) {
        if ((pass == 0) != v4) continue;
      } else if (pass == 1) {
        continue;
      }
      ordered->push_back(e);
    }
  }
  if (ordered->empty()) {
    closeWithError(socketError(ORVStreamSocketOtherError, "No address of an enabled protocol was found for the host."));
    return;
  }
  connectTo(std::move(ordered), 0, port);
}

void ORVStreamSocket::connectTo(std::shared_ptr<std::vector<Endpoint>> endpoints, std::size_t index, uint16_t port) {
  const auto target = (*endpoints)[index].endpoint;
  std::error_code ec;
  io_->socket.close(ec);
  io_->socket.open(target.protocol(), ec);
  if (ec) {
    closeWithError(posixError(ec, "Error creating socket"));
    return;
  }
  const unsigned long epoch = epoch_;
  std::weak_ptr<ORVStreamSocket> weak = weak_from_this();
  io_->socket.async_connect(target, socketQueue_->wrap([weak, epoch, endpoints, index, port](const std::error_code& ec) {
    auto self = weak.lock();
    if (!self || self->epoch_ != epoch || ec == asio::error::operation_aborted) return;
    if (!ec) {
      self->didConnect();
    } else if (index + 1 < endpoints->size()) {
      self->connectTo(endpoints, index + 1, port);  // next address of the host
    } else {
      self->closeWithError(posixError(ec, "Error in connect() function"));
    }
  }));
}

void ORVStreamSocket::didConnect() {
  state_ = State::Connected;
  io_->connectTimer.cancel();
  std::error_code ec;
  // Writes try the kernel directly first (see maybeDequeueWrite); Asio's own
  // operations handle a non-blocking socket as well.
  io_->socket.non_blocking(true, ec);
  const auto remote = io_->socket.remote_endpoint(ec);
  const std::string host = ec ? std::string() : remote.address().to_string();
  const uint16_t port = ec ? 0 : remote.port();
  notifyDelegate([host, port](ORVStreamSocketDelegate& d, ORVStreamSocket& s) { d.socket(s, host, port); });
  maybeDequeueRead();
  maybeDequeueWrite();
}

// ---- reads -----------------------------------------------------------------

void ORVStreamSocket::readDataWithTimeout(double timeout, BufferPtr buffer, std::size_t offset, std::size_t maxLength,
                                          long tag) {
  if (buffer && buffer->size() < offset) return;
  // Queuing a read only starts an Asio operation: done on the caller's thread
  // when the socket queue is idle, which spares a hand-off per read.
  socketQueue_->runOrAsync([weak = weak_from_this(), packet = ReadPacket{std::move(buffer), offset, maxLength, timeout, tag}] {
    auto self = weak.lock();
    if (!self || self->state_ == State::Idle || self->shuttingDown_) return;
    self->reads_.push_back(packet);
    self->maybeDequeueRead();
  });
}

void ORVStreamSocket::maybeDequeueRead() {
  if (reading_ || reads_.empty() || state_ != State::Connected) return;
  ReadPacket packet = std::move(reads_.front());
  reads_.pop_front();
  reading_ = true;
  const std::size_t length = packet.maxLength ? packet.maxLength : kDefaultReadLength;

  const unsigned long epoch = epoch_;
  std::weak_ptr<ORVStreamSocket> weak = weak_from_this();
  if (packet.timeout >= 0) {
    io_->readTimer.expires_after(seconds(packet.timeout));
    io_->readTimer.async_wait(socketQueue_->wrap([weak, epoch](const std::error_code& ec) {
      auto self = weak.lock();
      if (ec || !self || self->epoch_ != epoch || !self->reading_) return;
      self->closeWithError(socketError(ORVStreamSocketReadTimeoutError, "Read operation timed out"));
    }));
  }
  // Ends the read: the chunk goes to the delegate, or the connection closes.
  auto finish = [epoch](const std::shared_ptr<ORVStreamSocket>& self, const std::error_code& ec, BufferPtr target,
                        std::size_t offset, std::size_t n, long tag) {
    if (self->epoch_ != epoch) return;
    self->io_->readTimer.cancel();
    self->reading_ = false;
    if (ec == asio::error::eof) {
      self->closeWithError(socketError(ORVStreamSocketClosedError, "Socket closed by remote peer"));
      return;
    }
    if (ec) {
      self->closeWithError(posixError(ec, "Error in read() function"));
      return;
    }
    orv::HopTrace::mark(orv::HopPoint::BytesRead);
    target->resize(offset + n);
    self->notifyDelegate([target, offset, n, tag](ORVStreamSocketDelegate& d, ORVStreamSocket& s) {
      d.socket(s, std::span<const uint8_t>(target->data() + offset, n), tag);
    }, true);
    self->maybeDequeueRead();
  };

  if (packet.buffer) {
    // The caller's buffer: read straight into it.
    BufferPtr target = packet.buffer;
    const std::size_t offset = packet.offset;
    target->resize(offset + length);
    const long tag = packet.tag;
    io_->socket.async_read_some(
        asio::buffer(target->data() + offset, length),
        socketQueue_->wrap([weak, target, offset, tag, finish](const std::error_code& ec, std::size_t n) {
          auto self = weak.lock();
          if (!self || ec == asio::error::operation_aborted) return;
          finish(self, ec, target, offset, n, tag);
        }));
    return;
  }
  // No buffer given: read into the socket's receive buffer and hand over a
  // copy of exactly the bytes read. The buffer starts small, so a thousand
  // idle connections cost little, and grows while reads fill it (bulk
  // transfers), up to `length`. Asio tries the read at once and otherwise
  // waits on the socket's standing readiness registration: no extra system
  // call per read.
  std::vector<uint8_t>& receive = io_->receive;
  if (receive.size() < kInitialReceiveLength) receive.resize(kInitialReceiveLength);
  const std::size_t capacity = std::min(receive.size(), length);
  const long tag = packet.tag;
  io_->socket.async_read_some(
      asio::buffer(receive.data(), capacity),
      socketQueue_->wrap([weak, epoch, capacity, length, tag, finish](const std::error_code& ec, std::size_t n) {
        auto self = weak.lock();
        // A read of an earlier connection must not touch the buffer: the
        // next connection's read may be landing in it.
        if (!self || self->epoch_ != epoch || ec == asio::error::operation_aborted) return;
        std::vector<uint8_t>& receive = self->io_->receive;
        auto chunk = std::make_shared<std::vector<uint8_t>>(receive.begin(), receive.begin() + std::ptrdiff_t(n));
        if (n == capacity && capacity < length) receive.resize(std::min(capacity * 4, length));
        finish(self, ec, std::move(chunk), 0, n, tag);
      }));
}

// ---- writes ----------------------------------------------------------------

void ORVStreamSocket::writeData(DataPtr data, std::size_t offset, std::size_t length, double timeout, long tag) {
  if (length == 0) return;
  if (!data || offset > data->size() || length > data->size() - offset) {
    throw std::out_of_range("ORVStreamSocket::writeData: range outside the data");
  }
  // As for reads: the write starts on the caller's thread when the socket
  // queue is idle (Asio then writes at once if the socket can take it).
  socketQueue_->runOrAsync(
      [weak = weak_from_this(), packet = WritePacket{std::move(data), offset, length, timeout, tag}]() mutable {
        auto self = weak.lock();
        if (!self || self->state_ == State::Idle || self->shuttingDown_) return;
        self->writes_.push_back(std::move(packet));
        self->maybeDequeueWrite();
      });
}

void ORVStreamSocket::writeData(DataPtr data, double timeout, long tag) {
  const std::size_t length = data ? data->size() : 0;
  writeData(std::move(data), 0, length, timeout, tag);
}

void ORVStreamSocket::maybeDequeueWrite() {
  while (!writing_ && state_ == State::Connected) {
    if (writes_.empty()) {
      if (shuttingDown_) closeWithError(std::nullopt);  // every queued write is out
      return;
    }
    WritePacket packet = std::move(writes_.front());
    writes_.pop_front();
    orv::HopTrace::mark(orv::HopPoint::WriteStarted);
    // Fast path: the kernel nearly always takes a whole frame at once. The
    // write is then done here, with no Asio operation, no timer and no
    // completion for another thread to run.
    std::error_code ec;
    const std::size_t sent = io_->socket.send(asio::buffer(packet.data->data() + packet.offset, packet.length), 0, ec);
    if (ec && ec != asio::error::would_block && ec != asio::error::try_again) {
      closeWithError(posixError(ec, "Error in write() function"));
      return;
    }
    if (!ec && sent == packet.length) {
      reportWritten(packet.tag);
      continue;
    }
    const std::size_t done = ec ? 0 : sent;
    packet.offset += done;
    packet.length -= done;
    startSlowWrite(std::move(packet));
  }
}

// Hands a finished write to the delegate at the end of the current pool
// task, on this thread.
void ORVStreamSocket::reportWritten(long tag) {
  notifyDelegate([tag](ORVStreamSocketDelegate& d, ORVStreamSocket& s) { d.socket(s, tag); }, true);
}

// The rest of a write the kernel could not take at once: Asio finishes it
// when the socket can take more, under the write time-out.
void ORVStreamSocket::startSlowWrite(WritePacket packet) {
  writing_ = true;
  const unsigned long epoch = epoch_;
  std::weak_ptr<ORVStreamSocket> weak = weak_from_this();
  if (packet.timeout >= 0) {
    io_->writeTimer.expires_after(seconds(packet.timeout));
    io_->writeTimer.async_wait(socketQueue_->wrap([weak, epoch](const std::error_code& ec) {
      auto self = weak.lock();
      if (ec || !self || self->epoch_ != epoch || !self->writing_) return;
      self->closeWithError(socketError(ORVStreamSocketWriteTimeoutError, "Write operation timed out"));
    }));
  }
  const long tag = packet.tag;
  const DataPtr data = packet.data;
  asio::async_write(io_->socket, asio::buffer(data->data() + packet.offset, packet.length),
                    socketQueue_->wrap([weak, epoch, data, tag](const std::error_code& ec, std::size_t) {
                      auto self = weak.lock();
                      if (!self || self->epoch_ != epoch || ec == asio::error::operation_aborted) return;
                      self->io_->writeTimer.cancel();
                      self->writing_ = false;
                      if (ec) {
                        self->closeWithError(posixError(ec, "Error in write() function"));
                        return;
                      }
                      self->reportWritten(tag);
                      self->maybeDequeueWrite();
                    }));
}

// ---- closing ---------------------------------------------------------------

void ORVStreamSocket::disconnect() {
  socketQueue_->sync([this] { closeWithError(std::nullopt); });
}

void ORVStreamSocket::disconnectAfterWriting() {
  socketQueue_->sync([this] {
    if (state_ == State::Idle) return;
    shuttingDown_ = true;
    reads_.clear();
    if (!writing_ && writes_.empty()) closeWithError(std::nullopt);
  });
}

void ORVStreamSocket::closeWithError(std::optional<ORVError> error) {
  if (state_ == State::Idle) return;  // nothing started, or already reported
  closeQuietly();
  notifyDelegate([error = std::move(error)](ORVStreamSocketDelegate& d, ORVStreamSocket& s) {
    d.socketDidDisconnect(s, error);
  });
}

void ORVStreamSocket::closeQuietly() {
  ++epoch_;
  state_ = State::Idle;
  shuttingDown_ = reading_ = writing_ = false;
  reads_.clear();
  writes_.clear();
  if (!io_) return;
  io_->connectTimer.cancel();
  io_->readTimer.cancel();
  io_->writeTimer.cancel();
  io_->resolver.cancel();
  std::error_code ignored;
  io_->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  io_->socket.close(ignored);
}

// ---- queue work and queries ------------------------------------------------

void ORVStreamSocket::performBlock(const std::function<void()>& block) { socketQueue_->sync(block); }

bool ORVStreamSocket::enableBackgroundingOnSocket() {
  if (!socketQueue_->isCurrent()) {
    orv::log("ORVStreamSocket::enableBackgroundingOnSocket", "Must be dispatched on socketQueue");
    return false;
  }
  if (state_ != State::Connected) return false;
  std::error_code ec;
  io_->socket.set_option(asio::socket_base::keep_alive(true), ec);
  return !ec;
}

bool ORVStreamSocket::isConnected() {
  bool connected = false;
  socketQueue_->sync([&] { connected = state_ == State::Connected; });
  return connected;
}

bool ORVStreamSocket::isDisconnected() {
  bool idle = false;
  socketQueue_->sync([&] { idle = state_ == State::Idle; });
  return idle;
}

std::string ORVStreamSocket::connectedHost() {
  std::string host;
  socketQueue_->sync([&] {
    std::error_code ec;
    if (state_ == State::Connected) {
      const auto remote = io_->socket.remote_endpoint(ec);
      if (!ec) host = remote.address().to_string();
    }
  });
  return host;
}

uint16_t ORVStreamSocket::connectedPort() {
  uint16_t port = 0;
  socketQueue_->sync([&] {
    std::error_code ec;
    if (state_ == State::Connected) {
      const auto remote = io_->socket.remote_endpoint(ec);
      if (!ec) port = remote.port();
    }
  });
  return port;
}

uint16_t ORVStreamSocket::localPort() {
  uint16_t port = 0;
  socketQueue_->sync([&] {
    std::error_code ec;
    const auto local = io_->socket.local_endpoint(ec);
    if (!ec) port = local.port();
  });
  return port;
}
