#include "transport/ORVDatagramSocket.h"

#include <asio/io_context.hpp>
#include <asio/ip/multicast.hpp>
#include <asio/ip/v6_only.hpp>
#include <asio/steady_timer.hpp>

#include <chrono>

#include "wire/ORVExceptions.h"

// Sends go out one at a time in the order queued: resolve the destination
// (inline for addresses and "localhost"), pass the send filter, bind the
// family's descriptor if needed, send. Each packet has a sequence number so
// a time-out and a late completion of the same packet cannot both report.
// Any close bumps `epoch_` so completions of the closed descriptors do nothing.

void ORVDatagramSocketDelegate::udpSocket(ORVDatagramSocket&, const ORVDatagramAddress&) {}
void ORVDatagramSocketDelegate::udpSocket(ORVDatagramSocket&, const ORVError&) {}
void ORVDatagramSocketDelegate::udpSocket(ORVDatagramSocket&, long) {}
void ORVDatagramSocketDelegate::udpSocket(ORVDatagramSocket&, long, const ORVError&) {}
void ORVDatagramSocketDelegate::udpSocket(ORVDatagramSocket&, std::span<const uint8_t>, const ORVDatagramAddress&,
                                          const std::any&) {}
void ORVDatagramSocketDelegate::udpSocketDidClose(ORVDatagramSocket&, const std::optional<ORVError>&) {}

using asio::ip::udp;

struct ORVDatagramSocket::Io {
  explicit Io(asio::io_context& io) : context(io), resolver(io), sendTimer(io) {}
  asio::io_context& context;
  std::optional<udp::socket> v4;
  std::optional<udp::socket> v6;
  udp::resolver resolver;
  asio::steady_timer sendTimer;
  unsigned long sendSeq = 0;  // sequence number of the packet being sent
  udp::endpoint from4, from6;
  // A datagram that arrived while receiving was paused, kept for the resume.
  std::deque<std::pair<std::shared_ptr<std::vector<uint8_t>>, udp::endpoint>> held;

  std::optional<udp::socket>& socketFor(bool v6Family) { return v6Family ? v6 : v4; }
};

namespace {

ORVError datagramError(ORVDatagramSocketError code, std::string message) {
  return ORVError{kORVDatagramSocketErrorDomain, code, std::move(message), {}};
}

ORVError posixError(const std::error_code& ec, const char* reason) {
  return ORVError{kORVPOSIXErrorDomain, ec.value(), ec.message(), reason};
}

// Addresses answered without a lookup: the loopback names and literals.
bool localAnswer(const std::string& host, uint16_t port, std::vector<ORVDatagramAddress>& out) {
  if (host == "localhost" || host == "loopback") {
    out = {{asio::ip::address_v4::loopback(), port}, {asio::ip::address_v6::loopback(), port}};
    return true;
  }
  std::error_code ec;
  const auto literal = asio::ip::make_address(host, ec);
  if (ec) return false;
  out = {{literal, port}};
  return true;
}

}  // namespace

std::shared_ptr<ORVDatagramSocket> ORVDatagramSocket::create(std::weak_ptr<ORVDatagramSocketDelegate> delegate,
                                                             orv::DispatchQueuePtr delegateQueue) {
  return create(std::move(delegate), std::move(delegateQueue), orv::DispatchQueue::serial("ORVDatagramSocket"));
}

std::shared_ptr<ORVDatagramSocket> ORVDatagramSocket::create(std::weak_ptr<ORVDatagramSocketDelegate> delegate,
                                                             orv::DispatchQueuePtr delegateQueue,
                                                             orv::DispatchQueuePtr socketQueue) {
  if (!socketQueue) socketQueue = orv::DispatchQueue::serial("ORVDatagramSocket");
  if (!socketQueue->isSerial()) {
    throw ORVInvalidArgumentException("The given socketQueue parameter must not be a concurrent queue.");
  }
  return std::shared_ptr<ORVDatagramSocket>(
      new ORVDatagramSocket(std::move(delegate), std::move(delegateQueue), std::move(socketQueue)));
}

ORVDatagramSocket::ORVDatagramSocket(std::weak_ptr<ORVDatagramSocketDelegate> delegate,
                                     orv::DispatchQueuePtr delegateQueue, orv::DispatchQueuePtr socketQueue)
    : socketQueue_(std::move(socketQueue)),
      delegate_(std::move(delegate)),
      delegateQueue_(std::move(delegateQueue)),
      io_(std::make_unique<Io>(socketQueue_->ioContext())) {}

ORVDatagramSocket::~ORVDatagramSocket() {
  socketQueue_->sync([this] {
    closeQuietly();
    io_.reset();
  });
}

void ORVDatagramSocket::setDelegate(std::weak_ptr<ORVDatagramSocketDelegate> delegate) {
  std::lock_guard lock(delegateMutex_);
  delegate_ = std::move(delegate);
}

void ORVDatagramSocket::setDelegateQueue(orv::DispatchQueuePtr delegateQueue) {
  std::lock_guard lock(delegateMutex_);
  delegateQueue_ = std::move(delegateQueue);
}

template <typename Call>
void ORVDatagramSocket::notifyDelegate(Call call) {
  std::weak_ptr<ORVDatagramSocketDelegate> delegate;
  orv::DispatchQueuePtr queue;
  {
    std::lock_guard lock(delegateMutex_);
    delegate = delegate_;
    queue = delegateQueue_;
  }
  if (!queue) return;
  queue->async([weakSelf = weak_from_this(), delegate = std::move(delegate), call = std::move(call)] {
    auto self = weakSelf.lock();
    auto target = delegate.lock();
    if (self && target) call(*target, *self);
  });
}

// ---- configuration -----------------------------------------------------------

void ORVDatagramSocket::setIPv4Enabled(bool enabled) { socketQueue_->sync([&] { ipv4Enabled_ = enabled; }); }
void ORVDatagramSocket::setIPv6Enabled(bool enabled) { socketQueue_->sync([&] { ipv6Enabled_ = enabled; }); }
void ORVDatagramSocket::setPreferIPv4() { socketQueue_->sync([&] { preference_ = 4; }); }
void ORVDatagramSocket::setPreferIPv6() { socketQueue_->sync([&] { preference_ = 6; }); }
void ORVDatagramSocket::setIPVersionNeutral() { socketQueue_->sync([&] { preference_ = 0; }); }
void ORVDatagramSocket::setMaxReceiveIPv4BufferSize(uint16_t size) { socketQueue_->sync([&] { maxReceive4_ = size; }); }
void ORVDatagramSocket::setMaxReceiveIPv6BufferSize(uint32_t size) { socketQueue_->sync([&] { maxReceive6_ = size; }); }

void ORVDatagramSocket::setSendFilter(SendFilter filter, orv::DispatchQueuePtr filterQueue) {
  socketQueue_->sync([&] {
    sendFilter_ = filterQueue ? std::move(filter) : nullptr;
    sendFilterQueue_ = sendFilter_ ? std::move(filterQueue) : nullptr;
  });
}

void ORVDatagramSocket::setReceiveFilter(ReceiveFilter filter, orv::DispatchQueuePtr filterQueue) {
  socketQueue_->sync([&] {
    receiveFilter_ = filterQueue ? std::move(filter) : nullptr;
    receiveFilterQueue_ = receiveFilter_ ? std::move(filterQueue) : nullptr;
  });
}

// ---- binding -----------------------------------------------------------------

bool ORVDatagramSocket::checkCanBind(ORVError& error) const {
  if (connecting_ || connected_) {
    error = datagramError(ORVDatagramSocketBadConfigError, "Cannot bind after connecting. If needed, bind first, then connect.");
    return false;
  }
  if (bound_) {
    error = datagramError(ORVDatagramSocketBadConfigError, "Cannot bind a socket more than once.");
    return false;
  }
  if (!ipv4Enabled_ && !ipv6Enabled_) {
    error = datagramError(ORVDatagramSocketBadConfigError,
                          "Both IPv4 and IPv6 have been disabled. Must enable at least one protocol first.");
    return false;
  }
  return true;
}

bool ORVDatagramSocket::openAndBind(const std::vector<asio::ip::address>& addresses, uint16_t port, ORVError& error) {
  std::error_code lastError;
  for (const auto& address : addresses) {
    auto& slot = io_->socketFor(address.is_v6());
    if (slot) continue;
    udp::endpoint local(address, port);
    std::error_code ec;
    slot.emplace(io_->context);
    slot->open(local.protocol(), ec);
    if (!ec && address.is_v6()) slot->set_option(asio::ip::v6_only(true), ec);
    if (!ec && !address.is_v6() && broadcast_) slot->set_option(asio::socket_base::broadcast(true), ec);
    if (!ec) slot->bind(local, ec);
    if (ec) {
      slot.reset();
      lastError = ec;
      continue;  // the other family may still serve (e.g. no IPv6 on this machine)
    }
    if (port == 0) port = slot->local_endpoint(ec).port();  // both families on one port
  }
  if (!io_->v4 && !io_->v6) {
    error = posixError(lastError, "Error in bind() function");
    return false;
  }
  bound_ = true;
  return true;
}

bool ORVDatagramSocket::bindToPort(uint16_t port, ORVError& error) { return bindToPort(port, "", error); }

bool ORVDatagramSocket::bindToPort(uint16_t port, const std::string& interface, ORVError& error) {
  bool ok = false;
  socketQueue_->sync([&] {
    if (!checkCanBind(error)) return;
    std::vector<asio::ip::address> addresses;
    if (interface.empty()) {
      if (ipv4Enabled_) addresses.push_back(asio::ip::address_v4::any());
      if (ipv6Enabled_) addresses.push_back(asio::ip::address_v6::any());
    } else if (interface == "localhost" || interface == "loopback") {
      if (ipv4Enabled_) addresses.push_back(asio::ip::address_v4::loopback());
      if (ipv6Enabled_) addresses.push_back(asio::ip::address_v6::loopback());
    } else {
      std::error_code ec;
      const auto address = asio::ip::make_address(interface, ec);
      if (ec) {
        error = datagramError(ORVDatagramSocketBadParamError, "Unknown interface. Specify valid interface by IP address.");
        return;
      }
      if ((address.is_v4() && !ipv4Enabled_) || (address.is_v6() && !ipv6Enabled_)) {
        error = datagramError(ORVDatagramSocketBadConfigError, "The interface's protocol has been disabled.");
        return;
      }
      addresses.push_back(address);
    }
    ok = openAndBind(addresses, port, error);
  });
  return ok;
}

bool ORVDatagramSocket::bindToAddress(const ORVDatagramAddress& address, ORVError& error) {
  return bindToPort(address.port(), address.address().to_string(), error);
}

// Opens the descriptor of a family on demand (sending to or connecting with
// an address of that family): on the port already bound if any, else on an
// ephemeral one.
bool ORVDatagramSocket::bindImplicitly(bool v6, ORVError& error) {
  if (io_->socketFor(v6)) return true;
  if ((v6 && !ipv6Enabled_) || (!v6 && !ipv4Enabled_)) {
    error = datagramError(ORVDatagramSocketBadConfigError, v6 ? "IPv6 has been disabled." : "IPv4 has been disabled.");
    return false;
  }
  const auto& other = io_->socketFor(!v6);
  std::error_code ec;
  const uint16_t port = other ? other->local_endpoint(ec).port() : 0;
  const asio::ip::address any = v6 ? asio::ip::address(asio::ip::address_v6::any()) : asio::ip::address(asio::ip::address_v4::any());
  if (!openAndBind({any}, port, error) || !io_->socketFor(v6)) {
    if (port != 0 && openAndBind({any}, 0, error) && io_->socketFor(v6)) return true;
    return false;
  }
  if (receiveMode_ != Receive::Off) receiveOn(v6);
  return true;
}

// ---- connecting ----------------------------------------------------------------

bool ORVDatagramSocket::connectToHost(const std::string& host, uint16_t port, ORVError& error) {
  bool ok = false;
  socketQueue_->sync([&] { ok = startConnect(host, port, std::nullopt, error); });
  return ok;
}

bool ORVDatagramSocket::connectToAddress(const ORVDatagramAddress& address, ORVError& error) {
  bool ok = false;
  socketQueue_->sync([&] { ok = startConnect(std::nullopt, 0, address, error); });
  return ok;
}

bool ORVDatagramSocket::startConnect(std::optional<std::string> host, uint16_t port,
                                     std::optional<ORVDatagramAddress> address, ORVError& error) {
  if (connecting_ || connected_) {
    error = datagramError(ORVDatagramSocketBadConfigError, "Cannot connect a socket more than once.");
    return false;
  }
  if (!ipv4Enabled_ && !ipv6Enabled_) {
    error = datagramError(ORVDatagramSocketBadConfigError,
                          "Both IPv4 and IPv6 have been disabled. Must enable at least one protocol first.");
    return false;
  }
  if (host && host->empty()) {
    error = datagramError(ORVDatagramSocketBadParamError,
                          "The host param is nil. Should be domain name or IP address string.");
    return false;
  }
  connecting_ = true;
  std::vector<ORVDatagramAddress> candidates;
  if (address) {
    finishConnect({*address});
  } else if (localAnswer(*host, port, candidates)) {
    finishConnect(candidates);
  } else {
    io_->resolver.async_resolve(*host, std::to_string(port),
                                socketQueue_->wrap([weak = weak_from_this(), epoch = epoch_](const std::error_code& ec,
                                                                          udp::resolver::results_type results) {
                                  auto self = weak.lock();
                                  if (!self || self->epoch_ != epoch || ec == asio::error::operation_aborted) return;
                                  if (ec) {
                                    self->connecting_ = false;
                                    ORVError failure{kORVNetDBErrorDomain, ec.value(), ec.message(), {}};
                                    self->notifyDelegate([failure](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) {
                                      d.udpSocket(s, failure);
                                    });
                                    return;
                                  }
                                  std::vector<ORVDatagramAddress> found;
                                  for (const auto& entry : results) found.push_back(entry.endpoint());
                                  self->finishConnect(found);
                                }));
  }
  return true;
}

// The address to use among a host's: enabled families only, the preferred
// family first. A connect keeps to a family already bound; a send may open
// the other family's descriptor.
std::optional<ORVDatagramAddress> ORVDatagramSocket::pick(const std::vector<ORVDatagramAddress>& candidates,
                                                          bool boundFamilyOnly) const {
  const ORVDatagramAddress* first = nullptr;
  for (const auto& c : candidates) {
    const bool v6 = c.address().is_v6();
    if ((v6 && !ipv6Enabled_) || (!v6 && !ipv4Enabled_)) continue;
    if (boundFamilyOnly && bound_ && !io_->socketFor(v6)) continue;
    if ((preference_ == 4 && !v6) || (preference_ == 6 && v6)) return c;
    if (!first) first = &c;
  }
  if (first) return *first;
  return std::nullopt;
}

void ORVDatagramSocket::finishConnect(const std::vector<ORVDatagramAddress>& candidates) {
  connecting_ = false;
  ORVError error;
  const auto target = pick(candidates, true);
  if (!target) {
    error = datagramError(ORVDatagramSocketOtherError, "No address of an enabled or bound protocol was found for the host.");
  } else if (bindImplicitly(target->address().is_v6(), error)) {
    std::error_code ec;
    io_->socketFor(target->address().is_v6())->connect(*target, ec);
    if (!ec) {
      connected_ = true;
      // A connected socket talks over one family only.
      auto& other = io_->socketFor(!target->address().is_v6());
      if (other) other.reset();
      notifyDelegate([address = *target](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) { d.udpSocket(s, address); });
      maybeDequeueSend();
      return;
    }
    error = posixError(ec, "Error in connect() function");
  }
  notifyDelegate([error](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) { d.udpSocket(s, error); });
  // Sends queued while connecting have nowhere to go.
  while (!sends_.empty()) {
    const long tag = sends_.front().tag;
    sends_.pop_front();
    notifyDelegate([tag, error](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) { d.udpSocket(s, tag, error); });
  }
}

// ---- multicast and broadcast -------------------------------------------------

bool ORVDatagramSocket::joinMulticastGroup(const std::string& group, ORVError& error) {
  return multicast(true, group, "", error);
}
bool ORVDatagramSocket::joinMulticastGroup(const std::string& group, const std::string& interface, ORVError& error) {
  return multicast(true, group, interface, error);
}
bool ORVDatagramSocket::leaveMulticastGroup(const std::string& group, ORVError& error) {
  return multicast(false, group, "", error);
}
bool ORVDatagramSocket::leaveMulticastGroup(const std::string& group, const std::string& interface, ORVError& error) {
  return multicast(false, group, interface, error);
}

bool ORVDatagramSocket::multicast(bool join, const std::string& group, const std::string& interface, ORVError& error) {
  bool ok = false;
  socketQueue_->sync([&] {
    if (!bound_) {
      error = datagramError(ORVDatagramSocketBadConfigError, "Must bind a socket before joining a multicast group.");
      return;
    }
    if (connected_ || connecting_) {
      error = datagramError(ORVDatagramSocketBadConfigError, "Cannot join a multicast group if connected.");
      return;
    }
    std::error_code ec;
    const auto groupAddress = asio::ip::make_address(group, ec);
    if (ec || !groupAddress.is_multicast()) {
      error = datagramError(ORVDatagramSocketBadParamError, "Unknown group. Specify valid group IP address.");
      return;
    }
    auto& sock = io_->socketFor(groupAddress.is_v6());
    if (!sock) {
      error = datagramError(ORVDatagramSocketBadConfigError, "The socket is not bound on the group's protocol.");
      return;
    }
    asio::ip::address_v4 interfaceV4 = asio::ip::address_v4::any();
    if (!interface.empty() && groupAddress.is_v4()) {
      const auto parsed = (interface == "localhost" || interface == "loopback")
                              ? asio::ip::address(asio::ip::address_v4::loopback())
                              : asio::ip::make_address(interface, ec);
      if (ec || !parsed.is_v4()) {
        error = datagramError(ORVDatagramSocketBadParamError, "Unknown interface. Specify valid interface by IP address.");
        return;
      }
      interfaceV4 = parsed.to_v4();
    }
    if (groupAddress.is_v4()) {
      if (join) {
        sock->set_option(asio::ip::multicast::join_group(groupAddress.to_v4(), interfaceV4), ec);
      } else {
        sock->set_option(asio::ip::multicast::leave_group(groupAddress.to_v4(), interfaceV4), ec);
      }
    } else if (join) {
      sock->set_option(asio::ip::multicast::join_group(groupAddress.to_v6()), ec);
    } else {
      sock->set_option(asio::ip::multicast::leave_group(groupAddress.to_v6()), ec);
    }
    if (ec) {
      error = posixError(ec, "Error in setsockopt() function");
      return;
    }
    ok = true;
  });
  return ok;
}

bool ORVDatagramSocket::enableBroadcast(bool enable, ORVError& error) {
  bool ok = true;
  socketQueue_->sync([&] {
    broadcast_ = enable;  // applied to an IPv4 descriptor opened later too
    if (!io_->v4) return;
    std::error_code ec;
    io_->v4->set_option(asio::socket_base::broadcast(enable), ec);
    if (ec) {
      error = posixError(ec, "Error in setsockopt() function");
      ok = false;
    }
  });
  return ok;
}

// ---- sending -------------------------------------------------------------------

void ORVDatagramSocket::sendData(DataPtr data, double timeout, long tag) {
  queueSend(Packet{std::move(data), timeout, tag, std::nullopt, 0, std::nullopt});
}

void ORVDatagramSocket::sendData(DataPtr data, const std::string& host, uint16_t port, double timeout, long tag) {
  queueSend(Packet{std::move(data), timeout, tag, host, port, std::nullopt});
}

void ORVDatagramSocket::sendData(DataPtr data, const ORVDatagramAddress& address, double timeout, long tag) {
  queueSend(Packet{std::move(data), timeout, tag, std::nullopt, 0, address});
}

void ORVDatagramSocket::queueSend(Packet packet) {
  if (!packet.data) packet.data = std::make_shared<const std::vector<uint8_t>>();
  socketQueue_->async([weak = weak_from_this(), packet = std::move(packet)]() mutable {
    auto self = weak.lock();
    if (!self) return;
    const bool hasDestination = packet.host || packet.address;
    std::optional<ORVError> refusal;
    if (self->closeAfterSending_) {
      refusal = datagramError(ORVDatagramSocketClosedError, "Socket closed");
    } else if (hasDestination && (self->connected_ || self->connecting_)) {
      refusal = datagramError(ORVDatagramSocketBadConfigError,
                              "Cannot send data to a specific host on a connected socket.");
    } else if (!hasDestination && !self->connected_ && !self->connecting_) {
      refusal = datagramError(ORVDatagramSocketBadConfigError,
                              "Cannot send data without a destination on an unconnected socket.");
    } else if (packet.host && packet.host->empty()) {
      refusal = datagramError(ORVDatagramSocketBadParamError,
                              "The host param is nil. Should be domain name or IP address string.");
    }
    if (refusal) {
      self->notifyDelegate([tag = packet.tag, error = *refusal](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) {
        d.udpSocket(s, tag, error);
      });
      return;
    }
    self->sends_.push_back(std::move(packet));
    self->maybeDequeueSend();
  });
}

void ORVDatagramSocket::maybeDequeueSend() {
  if (sending_ || connecting_) return;
  if (sends_.empty()) {
    if (closeAfterSending_) closeWithError(std::nullopt);
    return;
  }
  Packet packet = std::move(sends_.front());
  sends_.pop_front();
  sending_ = true;
  const unsigned long seq = ++io_->sendSeq;
  const unsigned long epoch = epoch_;
  std::weak_ptr<ORVDatagramSocket> weak = weak_from_this();
  if (packet.timeout >= 0) {
    io_->sendTimer.expires_after(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(packet.timeout)));
    io_->sendTimer.async_wait(socketQueue_->wrap([weak, epoch, seq, tag = packet.tag](const std::error_code& ec) {
      auto self = weak.lock();
      if (ec || !self || self->epoch_ != epoch || self->io_->sendSeq != seq || !self->sending_) return;
      self->sendDone(tag, datagramError(ORVDatagramSocketSendTimeoutError, "Send operation timed out"));
    }));
  }
  if (connected_) {
    std::error_code ec;
    const auto peer = (io_->v4 ? io_->v4 : io_->v6)->remote_endpoint(ec);
    sendResolved(packet, peer);
    return;
  }
  std::vector<ORVDatagramAddress> candidates;
  if (packet.address) {
    candidates = {*packet.address};
  } else if (!localAnswer(*packet.host, packet.port, candidates)) {
    io_->resolver.async_resolve(
        *packet.host, std::to_string(packet.port),
        socketQueue_->wrap([weak, epoch, seq, packet](const std::error_code& ec, udp::resolver::results_type results) {
          auto self = weak.lock();
          if (!self || self->epoch_ != epoch || self->io_->sendSeq != seq || !self->sending_) return;
          if (ec) {
            self->sendDone(packet.tag, ORVError{kORVNetDBErrorDomain, ec.value(), ec.message(), {}});
            return;
          }
          std::vector<ORVDatagramAddress> found;
          for (const auto& entry : results) found.push_back(entry.endpoint());
          const auto to = self->pick(found, false);
          if (!to) {
            self->sendDone(packet.tag, datagramError(ORVDatagramSocketOtherError, "No address of an enabled protocol was found for the host."));
            return;
          }
          self->sendResolved(packet, *to);
        }));
    return;
  }
  const auto to = pick(candidates, false);
  if (!to) {
    sendDone(packet.tag, datagramError(ORVDatagramSocketOtherError, "No address of an enabled protocol was found for the host."));
    return;
  }
  sendResolved(packet, *to);
}

void ORVDatagramSocket::sendResolved(const Packet& packet, const ORVDatagramAddress& to) {
  const unsigned long seq = io_->sendSeq;
  const unsigned long epoch = epoch_;
  std::weak_ptr<ORVDatagramSocket> weak = weak_from_this();
  auto transmit = [weak, epoch, seq, packet, to] {
    auto self = weak.lock();
    if (!self || self->epoch_ != epoch || self->io_->sendSeq != seq || !self->sending_) return;
    ORVError error;
    if (!self->connected_ && !self->bindImplicitly(to.address().is_v6(), error)) {
      self->sendDone(packet.tag, error);
      return;
    }
    auto& sock = self->io_->socketFor(to.address().is_v6());
    auto done = [weak, epoch, seq, tag = packet.tag, data = packet.data](const std::error_code& ec, std::size_t) {
      auto self = weak.lock();
      if (!self || self->epoch_ != epoch || self->io_->sendSeq != seq || !self->sending_) return;
      if (ec) {
        self->sendDone(tag, posixError(ec, "Error in send() function."));
      } else {
        self->sendDone(tag, std::nullopt);
      }
    };
    if (self->connected_) {
      sock->async_send(asio::buffer(*packet.data), self->socketQueue_->wrap(std::move(done)));
    } else {
      sock->async_send_to(asio::buffer(*packet.data), to, self->socketQueue_->wrap(std::move(done)));
    }
  };
  if (!sendFilter_) {
    transmit();
    return;
  }
  // The filter runs on its own queue; its answer comes back to the socket queue.
  sendFilterQueue_->async([weak, filter = sendFilter_, packet, to, transmit, epoch, seq] {
    const bool pass = filter(std::span<const uint8_t>(*packet.data), to, packet.tag);
    auto self = weak.lock();
    if (!self) return;
    self->socketQueue_->async([weak, pass, transmit, tag = packet.tag, epoch, seq] {
      auto self = weak.lock();
      if (!self || self->epoch_ != epoch || self->io_->sendSeq != seq || !self->sending_) return;
      if (pass) {
        transmit();
      } else {
        self->sendDone(tag, datagramError(ORVDatagramSocketOtherError, "Packet dropped by the send filter."));
      }
    });
  });
}

void ORVDatagramSocket::sendDone(long tag, std::optional<ORVError> error) {
  io_->sendTimer.cancel();
  sending_ = false;
  ++io_->sendSeq;  // late completions of this packet no longer match
  if (error) {
    notifyDelegate([tag, error = *error](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) { d.udpSocket(s, tag, error); });
  } else {
    notifyDelegate([tag](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) { d.udpSocket(s, tag); });
  }
  maybeDequeueSend();
}

// ---- receiving -----------------------------------------------------------------

bool ORVDatagramSocket::receiveOnce(ORVError& error) {
  bool ok = false;
  socketQueue_->sync([&] { ok = startReceiving(Receive::Once, error); });
  return ok;
}

bool ORVDatagramSocket::beginReceiving(ORVError& error) {
  bool ok = false;
  socketQueue_->sync([&] { ok = startReceiving(Receive::Continuous, error); });
  return ok;
}

void ORVDatagramSocket::pauseReceiving() {
  socketQueue_->sync([&] {
    receiveMode_ = Receive::Off;
    ++onceTicket_;
  });
}

bool ORVDatagramSocket::startReceiving(Receive mode, ORVError& error) {
  if (!bound_) {
    error = datagramError(ORVDatagramSocketBadConfigError,
                          "Must bind socket before you can receive data. You can do this explicitly via bind, "
                          "or implicitly via connect or by sending data.");
    return false;
  }
  if (receiveMode_ == Receive::Continuous && mode == Receive::Once) return true;  // already receiving
  receiveMode_ = mode;
  ++onceTicket_;
  // Datagrams that came in while paused go first.
  while (!io_->held.empty() && receiveMode_ != Receive::Off) {
    auto [data, from] = std::move(io_->held.front());
    io_->held.pop_front();
    deliver(std::move(data), from);
  }
  if (receiveMode_ != Receive::Off) {
    receiveOn(false);
    receiveOn(true);
  }
  return true;
}

void ORVDatagramSocket::receiveOn(bool v6) {
  auto& sock = io_->socketFor(v6);
  bool& outstanding = v6 ? receiving6_ : receiving4_;
  if (!sock || outstanding || receiveMode_ == Receive::Off) return;
  outstanding = true;
  auto buffer = std::make_shared<std::vector<uint8_t>>(v6 ? maxReceive6_ : maxReceive4_);
  auto& from = v6 ? io_->from6 : io_->from4;
  sock->async_receive_from(
      asio::buffer(*buffer), from,
      socketQueue_->wrap([weak = weak_from_this(), epoch = epoch_, v6, buffer](const std::error_code& ec, std::size_t n) {
        auto self = weak.lock();
        if (!self || self->epoch_ != epoch || ec == asio::error::operation_aborted) return;
        (v6 ? self->receiving6_ : self->receiving4_) = false;
        if (ec == asio::error::connection_refused) {
          // An ICMP "port unreachable" for an earlier send: that datagram was
          // lost, but the socket still works. Keep receiving.
          self->receiveOn(v6);
          return;
        }
        if (ec) {
          self->closeWithError(posixError(ec, "Error in recvfrom() function"));
          return;
        }
        buffer->resize(n);
        const auto from = v6 ? self->io_->from6 : self->io_->from4;
        if (self->receiveMode_ == Receive::Off) {
          self->io_->held.emplace_back(buffer, from);  // paused: keep it for the resume
          return;
        }
        self->deliver(buffer, from);
        self->receiveOn(v6);
      }));
}

void ORVDatagramSocket::deliver(std::shared_ptr<std::vector<uint8_t>> data, ORVDatagramAddress from) {
  const bool once = receiveMode_ == Receive::Once;
  if (once) receiveMode_ = Receive::Off;
  if (!receiveFilter_) {
    notifyDelegate([data, from](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) {
      d.udpSocket(s, std::span<const uint8_t>(*data), from, std::any());
    });
    return;
  }
  // Filtered datagrams go to the delegate from the filter queue, in the order
  // the filter saw them.
  // A datagram the filter refuses does not use up a receiveOnce: receiving
  // resumes unless the caller changed the mode meanwhile.
  const unsigned long onceTicket = once ? ++onceTicket_ : 0;
  receiveFilterQueue_->async([weak = weak_from_this(), filter = receiveFilter_, data, from, onceTicket] {
    std::any context;
    if (!filter(std::span<const uint8_t>(*data), from, context)) {
      if (onceTicket == 0) return;
      if (auto self = weak.lock()) {
        self->socketQueue_->async([weak, onceTicket] {
          auto self = weak.lock();
          if (!self || self->onceTicket_ != onceTicket || self->receiveMode_ != Receive::Off) return;
          ORVError ignored;
          self->startReceiving(Receive::Once, ignored);
        });
      }
      return;
    }
    if (auto self = weak.lock()) {
      self->notifyDelegate([data, from, context](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) {
        d.udpSocket(s, std::span<const uint8_t>(*data), from, context);
      });
    }
  });
}

// ---- closing -------------------------------------------------------------------

void ORVDatagramSocket::close() {
  socketQueue_->sync([this] { closeWithError(std::nullopt); });
}

void ORVDatagramSocket::closeAfterSending() {
  socketQueue_->sync([this] {
    closeAfterSending_ = true;
    if (!sending_ && sends_.empty()) closeWithError(std::nullopt);
  });
}

void ORVDatagramSocket::closeWithError(std::optional<ORVError> error) {
  if (!io_->v4 && !io_->v6 && !connecting_) {
    closeAfterSending_ = false;
    return;  // nothing open: nothing to report
  }
  closeQuietly();
  notifyDelegate([error = std::move(error)](ORVDatagramSocketDelegate& d, ORVDatagramSocket& s) {
    d.udpSocketDidClose(s, error);
  });
}

void ORVDatagramSocket::closeQuietly() {
  ++epoch_;
  bound_ = connecting_ = connected_ = closeAfterSending_ = sending_ = false;
  receiving4_ = receiving6_ = false;
  receiveMode_ = Receive::Off;
  sends_.clear();
  if (!io_) return;
  io_->held.clear();
  io_->sendTimer.cancel();
  io_->resolver.cancel();
  std::error_code ignored;
  if (io_->v4) io_->v4->close(ignored);
  if (io_->v6) io_->v6->close(ignored);
  io_->v4.reset();
  io_->v6.reset();
}

// ---- queries -------------------------------------------------------------------

void ORVDatagramSocket::performBlock(const std::function<void()>& block) { socketQueue_->sync(block); }

std::optional<ORVDatagramAddress> ORVDatagramSocket::localAddressIPv4() {
  std::optional<ORVDatagramAddress> out;
  socketQueue_->sync([&] {
    std::error_code ec;
    if (io_->v4) out = io_->v4->local_endpoint(ec);
    if (ec) out.reset();
  });
  return out;
}

std::optional<ORVDatagramAddress> ORVDatagramSocket::localAddressIPv6() {
  std::optional<ORVDatagramAddress> out;
  socketQueue_->sync([&] {
    std::error_code ec;
    if (io_->v6) out = io_->v6->local_endpoint(ec);
    if (ec) out.reset();
  });
  return out;
}

std::optional<ORVDatagramAddress> ORVDatagramSocket::localAddress() {
  auto v4 = localAddressIPv4();
  return v4 ? v4 : localAddressIPv6();
}

std::string ORVDatagramSocket::localHost() {
  const auto a = localAddress();
  return a ? a->address().to_string() : std::string();
}

uint16_t ORVDatagramSocket::localPort() {
  const auto a = localAddress();
  return a ? a->port() : 0;
}

std::optional<ORVDatagramAddress> ORVDatagramSocket::connectedAddress() {
  std::optional<ORVDatagramAddress> out;
  socketQueue_->sync([&] {
    if (!connected_) return;
    std::error_code ec;
    out = (io_->v4 ? io_->v4 : io_->v6)->remote_endpoint(ec);
    if (ec) out.reset();
  });
  return out;
}

std::string ORVDatagramSocket::connectedHost() {
  const auto a = connectedAddress();
  return a ? a->address().to_string() : std::string();
}

uint16_t ORVDatagramSocket::connectedPort() {
  const auto a = connectedAddress();
  return a ? a->port() : 0;
}

bool ORVDatagramSocket::isConnected() {
  bool out = false;
  socketQueue_->sync([&] { out = connected_; });
  return out;
}

bool ORVDatagramSocket::isClosed() {
  bool out = false;
  socketQueue_->sync([&] { out = !io_->v4 && !io_->v6 && !connecting_; });
  return out;
}

bool ORVDatagramSocket::isIPv4() {
  bool out = false;
  socketQueue_->sync([&] { out = io_->v4.has_value(); });
  return out;
}

bool ORVDatagramSocket::isIPv6() {
  bool out = false;
  socketQueue_->sync([&] { out = io_->v6.has_value(); });
  return out;
}
