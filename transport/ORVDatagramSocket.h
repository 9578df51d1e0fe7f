#pragma once
// Asynchronous UDP socket, built like ORVStreamSocket: every operation runs
// on the socket's serial queue ("ORVDatagramSocket" unless one is supplied)
// and every outcome reaches the delegate on the delegate queue.
//
// Rules: a socket binds at most once, binds before it connects (connecting or
// sending binds it implicitly to an ephemeral port) and connects at most once.
// Connected sockets send with sendData(data, timeout, tag) only; unconnected
// ones name a destination. Receiving needs a bound socket. After close the
// socket may be bound or connected anew.
//
// Each enabled family gets its own descriptor, bound to the same port.
// Datagrams longer than the family's maximum receive size are truncated.
// Sockets are held by shared_ptr; destroying one closes it without callbacks.

#include <any>
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

#include <asio/ip/udp.hpp>

#include "platform/DispatchQueue.h"
#include "transport/ORVError.h"

class ORVDatagramSocket;

inline constexpr const char* kORVDatagramSocketErrorDomain = "ORVDatagramSocketErrorDomain";

enum ORVDatagramSocketError {
  ORVDatagramSocketNoError = 0,
  ORVDatagramSocketBadConfigError = 1,
  ORVDatagramSocketBadParamError = 2,
  ORVDatagramSocketSendTimeoutError = 3,
  ORVDatagramSocketClosedError = 4,
  ORVDatagramSocketOtherError = 5,
};

using ORVDatagramAddress = asio::ip::udp::endpoint;

// Callbacks; each default does nothing. All run on the delegate queue.
class ORVDatagramSocketDelegate {
 public:
  virtual ~ORVDatagramSocketDelegate() = default;
  // didConnectToAddress
  virtual void udpSocket(ORVDatagramSocket& sock, const ORVDatagramAddress& address);
  // didNotConnect
  virtual void udpSocket(ORVDatagramSocket& sock, const ORVError& error);
  // didSendDataWithTag
  virtual void udpSocket(ORVDatagramSocket& sock, long tag);
  // didNotSendDataWithTag:dueToError
  virtual void udpSocket(ORVDatagramSocket& sock, long tag, const ORVError& error);
  // didReceiveData:fromAddress:withFilterContext (data valid during the call)
  virtual void udpSocket(ORVDatagramSocket& sock, std::span<const uint8_t> data, const ORVDatagramAddress& from,
                         const std::any& filterContext);
  virtual void udpSocketDidClose(ORVDatagramSocket& sock, const std::optional<ORVError>& error);
};

class ORVDatagramSocket : public std::enable_shared_from_this<ORVDatagramSocket> {
 public:
  using DataPtr = std::shared_ptr<const std::vector<uint8_t>>;
  // Runs on the filter queue; false drops the datagram. `context` is handed
  // to the delegate with the datagram.
  using ReceiveFilter = std::function<bool(std::span<const uint8_t> data, const ORVDatagramAddress& from, std::any& context)>;
  // Runs on the filter queue; false drops the packet (reported as not sent).
  using SendFilter = std::function<bool(std::span<const uint8_t> data, const ORVDatagramAddress& to, long tag)>;

  static constexpr uint16_t kDefaultMaxReceiveIPv4 = 9216;
  static constexpr uint32_t kDefaultMaxReceiveIPv6 = 9216;

  static std::shared_ptr<ORVDatagramSocket> create(std::weak_ptr<ORVDatagramSocketDelegate> delegate,
                                                   orv::DispatchQueuePtr delegateQueue);
  // With a socket queue of the caller's; it must be serial
  // (ORVInvalidArgumentException otherwise).
  static std::shared_ptr<ORVDatagramSocket> create(std::weak_ptr<ORVDatagramSocketDelegate> delegate,
                                                   orv::DispatchQueuePtr delegateQueue, orv::DispatchQueuePtr socketQueue);
  ~ORVDatagramSocket();
  ORVDatagramSocket(const ORVDatagramSocket&) = delete;
  ORVDatagramSocket& operator=(const ORVDatagramSocket&) = delete;

  void setDelegate(std::weak_ptr<ORVDatagramSocketDelegate> delegate);
  void setDelegateQueue(orv::DispatchQueuePtr delegateQueue);

  void setIPv4Enabled(bool enabled);
  void setIPv6Enabled(bool enabled);
  void setPreferIPv4();
  void setPreferIPv6();
  void setIPVersionNeutral();
  void setMaxReceiveIPv4BufferSize(uint16_t size);
  void setMaxReceiveIPv6BufferSize(uint32_t size);

  // `interface`: "" for every address, "localhost"/"loopback", or an address.
  bool bindToPort(uint16_t port, ORVError& error);
  bool bindToPort(uint16_t port, const std::string& interface, ORVError& error);
  bool bindToAddress(const ORVDatagramAddress& address, ORVError& error);
  // Answers false at once for an unusable call; otherwise the outcome comes as
  // didConnectToAddress or didNotConnect.
  bool connectToHost(const std::string& host, uint16_t port, ORVError& error);
  bool connectToAddress(const ORVDatagramAddress& address, ORVError& error);

  bool joinMulticastGroup(const std::string& group, ORVError& error);
  bool joinMulticastGroup(const std::string& group, const std::string& interface, ORVError& error);
  bool leaveMulticastGroup(const std::string& group, ORVError& error);
  bool leaveMulticastGroup(const std::string& group, const std::string& interface, ORVError& error);
  bool enableBroadcast(bool enable, ORVError& error);

  // Negative time-out: none.
  void sendData(DataPtr data, double timeout, long tag);
  void sendData(DataPtr data, const std::string& host, uint16_t port, double timeout, long tag);
  void sendData(DataPtr data, const ORVDatagramAddress& address, double timeout, long tag);
  void setSendFilter(SendFilter filter, orv::DispatchQueuePtr filterQueue);

  bool receiveOnce(ORVError& error);
  bool beginReceiving(ORVError& error);
  void pauseReceiving();
  void setReceiveFilter(ReceiveFilter filter, orv::DispatchQueuePtr filterQueue);

  void close();
  void closeAfterSending();

  std::optional<ORVDatagramAddress> localAddress();
  std::optional<ORVDatagramAddress> localAddressIPv4();
  std::optional<ORVDatagramAddress> localAddressIPv6();
  std::string localHost();
  uint16_t localPort();
  std::optional<ORVDatagramAddress> connectedAddress();
  std::string connectedHost();
  uint16_t connectedPort();
  bool isConnected();
  bool isClosed();
  bool isIPv4();
  bool isIPv6();
  void performBlock(const std::function<void()>& block);
  const orv::DispatchQueuePtr& socketQueue() const { return socketQueue_; }

  struct Io;

 private:
  enum class Receive { Off, Once, Continuous };
  struct Packet {
    DataPtr data;
    double timeout;
    long tag;
    std::optional<std::string> host;  // resolve at send time
    uint16_t port = 0;
    std::optional<ORVDatagramAddress> address;
  };

  ORVDatagramSocket(std::weak_ptr<ORVDatagramSocketDelegate> delegate, orv::DispatchQueuePtr delegateQueue,
                    orv::DispatchQueuePtr socketQueue);

  // On the socket queue.
  bool checkCanBind(ORVError& error) const;
  bool openAndBind(const std::vector<asio::ip::address>& addresses, uint16_t port, ORVError& error);
  bool bindImplicitly(bool v6, ORVError& error);
  bool startConnect(std::optional<std::string> host, uint16_t port, std::optional<ORVDatagramAddress> address,
                    ORVError& error);
  void finishConnect(const std::vector<ORVDatagramAddress>& candidates);
  std::optional<ORVDatagramAddress> pick(const std::vector<ORVDatagramAddress>& candidates, bool boundFamilyOnly) const;
  void queueSend(Packet packet);
  void maybeDequeueSend();
  void sendResolved(const Packet& packet, const ORVDatagramAddress& to);
  void sendDone(long tag, std::optional<ORVError> error);
  bool startReceiving(Receive mode, ORVError& error);
  void receiveOn(bool v6);
  void deliver(std::shared_ptr<std::vector<uint8_t>> data, ORVDatagramAddress from);
  void closeWithError(std::optional<ORVError> error);
  void closeQuietly();
  bool multicast(bool join, const std::string& group, const std::string& interface, ORVError& error);
  template <typename Call>
  void notifyDelegate(Call call);

  orv::DispatchQueuePtr socketQueue_;
  std::mutex delegateMutex_;  // guards the delegate fields
  std::weak_ptr<ORVDatagramSocketDelegate> delegate_;
  orv::DispatchQueuePtr delegateQueue_;

  // Socket-queue state.
  std::unique_ptr<Io> io_;
  bool ipv4Enabled_ = true;
  bool ipv6Enabled_ = true;
  int preference_ = 0;  // 4, 6 or 0 (neutral)
  uint16_t maxReceive4_ = kDefaultMaxReceiveIPv4;
  uint32_t maxReceive6_ = kDefaultMaxReceiveIPv6;
  bool bound_ = false;
  bool connecting_ = false;
  bool connected_ = false;
  bool broadcast_ = false;
  bool closeAfterSending_ = false;
  bool sending_ = false;
  bool receiving4_ = false;  // a receive is outstanding on that descriptor
  bool receiving6_ = false;
  Receive receiveMode_ = Receive::Off;
  unsigned long epoch_ = 0;
  unsigned long onceTicket_ = 0;  // a receiveOnce waiting for the filter's answer
  std::deque<Packet> sends_;
  SendFilter sendFilter_;
  orv::DispatchQueuePtr sendFilterQueue_;
  ReceiveFilter receiveFilter_;
  orv::DispatchQueuePtr receiveFilterQueue_;
};

using ORVDatagramSocketPtr = std::shared_ptr<ORVDatagramSocket>;
