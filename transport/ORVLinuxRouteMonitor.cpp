#include "transport/ORVLinuxRouteMonitor.h"

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/posix/stream_descriptor.hpp>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>

#include <bit>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/Log.h"

namespace {

constexpr unsigned kRouteUp = 0x1;        // RTF_UP
constexpr unsigned kRouteGateway = 0x2;   // RTF_GATEWAY
constexpr unsigned kRouteReject = 0x200;  // RTF_REJECT

// The kernel headers' NLMSG_OK and NLMSG_NEXT, with the length left unsigned
// (the macros compare it as a signed int against the unsigned header length).
bool messageFits(const nlmsghdr* h, std::size_t remaining) {
  return remaining >= sizeof(nlmsghdr) && h->nlmsg_len >= sizeof(nlmsghdr) && h->nlmsg_len <= remaining;
}
nlmsghdr* nextMessage(nlmsghdr* h, std::size_t& remaining) {
  const std::size_t step = NLMSG_ALIGN(h->nlmsg_len);
  remaining = step < remaining ? remaining - step : 0;
  return reinterpret_cast<nlmsghdr*>(reinterpret_cast<char*>(h) + step);
}

bool readFile(const char* path, std::string& out) {
  std::ifstream in(path);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out = text.str();
  return true;
}

bool parseHex(std::string_view hex, std::array<uint8_t, 16>& out) {
  if (hex.size() != 32) return false;
  for (std::size_t i = 0; i < 16; ++i) {
    unsigned value = 0;
    for (std::size_t j = 0; j < 2; ++j) {
      const char c = hex[2 * i + j];
      unsigned d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return false;
      value = value * 16 + d;
    }
    out[i] = static_cast<uint8_t>(value);
  }
  return true;
}

bool parseUnsigned(const std::string& field, int base, unsigned long& out) {
  if (field.empty() || field.size() > 16) return false;
  char* end = nullptr;
  out = std::strtoul(field.c_str(), &end, base);
  return end && *end == '\0';
}

bool isCellularInterface(const std::string& name) {
  for (const char* prefix : {"wwan", "rmnet", "ppp", "ccmni"}) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

bool prefixMatches(const std::array<uint8_t, 16>& a, const std::array<uint8_t, 16>& b, int bits) {
  for (int i = 0; i < bits; ++i) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (i % 8));
    if ((a[i / 8] & mask) != (b[i / 8] & mask)) return false;
  }
  return true;
}

uint32_t internetFlags(const std::vector<ORVLinuxRouteMonitor::Route>& routes) {
  bool any = false, wired = false;
  for (const auto& r : routes) {
    if (!r.usable || r.prefixLength != 0 || r.interface == "lo") continue;
    any = true;
    wired = wired || !isCellularInterface(r.interface);
  }
  if (!any) return 0;
  return ORVReachabilityFlagsReachable | (wired ? 0u : uint32_t{ORVReachabilityFlagsIsWWAN});
}

bool addressFlags(const std::vector<ORVLinuxRouteMonitor::Route>& routes, const std::string& text, uint32_t& flags) {
  std::error_code ec;
  const auto address = asio::ip::make_address(text, ec);
  if (ec) return false;
  if (address.is_loopback()) {
    flags = ORVReachabilityFlagsReachable | ORVReachabilityFlagsIsLocalAddress | ORVReachabilityFlagsIsDirect;
    return true;
  }
  std::array<uint8_t, 16> bytes{};
  const bool v6 = address.is_v6();
  if (v6) {
    bytes = address.to_v6().to_bytes();
  } else {
    const auto v4 = address.to_v4().to_bytes();
    std::copy(v4.begin(), v4.end(), bytes.begin());
  }
  const ORVLinuxRouteMonitor::Route* best = nullptr;
  for (const auto& r : routes) {
    if (!r.usable || r.ipv6 != v6 || !prefixMatches(r.destination, bytes, r.prefixLength)) continue;
    if (!best || r.prefixLength > best->prefixLength) best = &r;
  }
  flags = 0;
  if (best) {
    flags = ORVReachabilityFlagsReachable;
    if (!best->hasGateway) flags |= ORVReachabilityFlagsIsDirect;
    if (isCellularInterface(best->interface)) flags |= ORVReachabilityFlagsIsWWAN;
  }
  return true;
}

// The address a target names, when it names one: loopback for the names the
// machine always knows, the literal address otherwise.
bool targetAddress(const ORVReachabilityTarget& target, std::string& address) {
  switch (target.kind) {
    case ORVReachabilityTarget::Address:
      address = target.name;
      return true;
    case ORVReachabilityTarget::LocalWiFi:
      address = "169.254.0.0";
      return true;
    case ORVReachabilityTarget::Hostname: {
      if (target.name == "localhost" || target.name == "loopback") {
        address = "127.0.0.1";
        return true;
      }
      std::error_code ec;
      asio::ip::make_address(target.name, ec);
      if (ec) return false;
      address = target.name;
      return true;
    }
    case ORVReachabilityTarget::Internet:
      return false;
  }
  return false;
}

bool tableFlags(const ORVReachabilityTarget& target, uint32_t& flags) {
  std::string v4, v6;
  const bool haveV4 = readFile("/proc/net/route", v4);
  const bool haveV6 = readFile("/proc/net/ipv6_route", v6);
  if (!haveV4 && !haveV6) return false;
  auto routes = ORVLinuxRouteMonitor::parseIPv4Routes(v4);
  auto routes6 = ORVLinuxRouteMonitor::parseIPv6Routes(v6);
  routes.insert(routes.end(), routes6.begin(), routes6.end());
  return ORVLinuxRouteMonitor::flagsFromRoutes(routes, target, flags);
}

// A target with an address is judged by the kernel's own route lookup for
// that destination (every table and rule, loopback and LAN included); the
// internet target, and any target when rtnetlink cannot be asked, by the
// routing tables.
bool currentFlags(const ORVReachabilityTarget& target, uint32_t& flags) {
  std::string address;
  if (targetAddress(target, address) && ORVLinuxRouteMonitor::lookupRoute(address, flags)) return true;
  return tableFlags(target, flags);
}

}  // namespace

bool ORVLinuxRouteMonitor::lookupRoute(const std::string& text, uint32_t& flags) {
  std::error_code ec;
  const auto address = asio::ip::make_address(text, ec);
  if (ec) return false;

  struct {
    nlmsghdr header;
    rtmsg route;
    char attributes[64];
  } request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
  request.header.nlmsg_type = RTM_GETROUTE;
  request.header.nlmsg_flags = NLM_F_REQUEST;
  request.header.nlmsg_seq = 1;
  const bool v6 = address.is_v6();
  request.route.rtm_family = v6 ? AF_INET6 : AF_INET;
  request.route.rtm_dst_len = v6 ? 128 : 32;
  auto* attribute = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) + NLMSG_ALIGN(request.header.nlmsg_len));
  attribute->rta_type = RTA_DST;
  if (v6) {
    const auto bytes = address.to_v6().to_bytes();
    attribute->rta_len = RTA_LENGTH(bytes.size());
    std::memcpy(RTA_DATA(attribute), bytes.data(), bytes.size());
  } else {
    const auto bytes = address.to_v4().to_bytes();
    attribute->rta_len = RTA_LENGTH(bytes.size());
    std::memcpy(RTA_DATA(attribute), bytes.data(), bytes.size());
  }
  request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(attribute->rta_len);

  const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
  if (fd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  timeval timeout{1, 0};  // the kernel answers at once; never hang a caller on it
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
    return false;
  }
  alignas(nlmsghdr) char answer[8192];
  for (;;) {
    const ssize_t n = ::recv(fd, answer, sizeof answer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    std::size_t remaining = static_cast<std::size_t>(n);
    for (auto* h = reinterpret_cast<nlmsghdr*>(answer); messageFits(h, remaining); h = nextMessage(h, remaining)) {
      if (h->nlmsg_seq != request.header.nlmsg_seq) continue;
      if (h->nlmsg_type == NLMSG_ERROR) {
        const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
        if (error->error == 0) continue;  // an acknowledgement
        // ENETUNREACH, EHOSTUNREACH, ...: the kernel has no usable route.
        flags = 0;
        return true;
      }
      if (h->nlmsg_type != RTM_NEWROUTE) continue;
      const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(h));
      if (route->rtm_type != RTN_UNICAST && route->rtm_type != RTN_LOCAL) {
        flags = 0;  // blackhole, unreachable, prohibit
        return true;
      }
      bool gateway = false;
      unsigned outputInterface = 0;
      int length = static_cast<int>(RTM_PAYLOAD(h));
      for (auto* a = RTM_RTA(route); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type == RTA_GATEWAY || a->rta_type == RTA_VIA) gateway = true;
        if (a->rta_type == RTA_OIF && RTA_PAYLOAD(a) >= sizeof(int)) {
          int index;
          std::memcpy(&index, RTA_DATA(a), sizeof index);
          outputInterface = static_cast<unsigned>(index);
        }
      }
      flags = ORVReachabilityFlagsReachable;
      if (!gateway) flags |= ORVReachabilityFlagsIsDirect;
      if (route->rtm_type == RTN_LOCAL || address.is_loopback()) {
        flags |= ORVReachabilityFlagsIsLocalAddress | ORVReachabilityFlagsIsDirect;
      }
      char name[IF_NAMESIZE] = {};
      if (outputInterface && ::if_indextoname(outputInterface, name) && isCellularInterface(name)) {
        flags |= ORVReachabilityFlagsIsWWAN;
      }
      return true;
    }
  }
}

std::vector<ORVLinuxRouteMonitor::Route> ORVLinuxRouteMonitor::parseIPv4Routes(std::string_view text) {
  // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT,
  // addresses as the kernel's 32-bit words in hex (network order in memory).
  std::vector<Route> routes;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string iface, dest, gateway, flagsText, refcnt, use, metric, mask;
    if (!(fields >> iface >> dest >> gateway >> flagsText >> refcnt >> use >> metric >> mask)) continue;
    unsigned long destValue, gatewayValue, flags, maskValue;
    if (!parseUnsigned(dest, 16, destValue) || !parseUnsigned(gateway, 16, gatewayValue) ||
        !parseUnsigned(flagsText, 16, flags) || !parseUnsigned(mask, 16, maskValue)) {
      continue;  // the header line, or damage
    }
    Route r;
    const auto destWord = static_cast<uint32_t>(destValue);
    std::memcpy(r.destination.data(), &destWord, 4);
    r.prefixLength = std::popcount(static_cast<uint32_t>(maskValue));
    r.hasGateway = gatewayValue != 0 || (flags & kRouteGateway);
    r.usable = (flags & kRouteUp) && !(flags & kRouteReject);
    r.interface = iface;
    routes.push_back(std::move(r));
  }
  return routes;
}

std::vector<ORVLinuxRouteMonitor::Route> ORVLinuxRouteMonitor::parseIPv6Routes(std::string_view text) {
  // dest prefix src src-prefix next-hop metric refcnt use flags iface
  std::vector<Route> routes;
  std::istringstream lines{std::string(text)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string dest, prefix, src, srcPrefix, nextHop, metric, refcnt, use, flagsText, iface;
    if (!(fields >> dest >> prefix >> src >> srcPrefix >> nextHop >> metric >> refcnt >> use >> flagsText >> iface)) {
      continue;
    }
    Route r;
    r.ipv6 = true;
    std::array<uint8_t, 16> hop{};
    unsigned long prefixValue, flags;
    if (!parseHex(dest, r.destination) || !parseHex(nextHop, hop) || !parseUnsigned(prefix, 16, prefixValue) ||
        prefixValue > 128 || !parseUnsigned(flagsText, 16, flags)) {
      continue;
    }
    r.prefixLength = static_cast<int>(prefixValue);
    r.hasGateway = hop != std::array<uint8_t, 16>{} || (flags & kRouteGateway);
    r.usable = (flags & kRouteUp) && !(flags & kRouteReject);
    r.interface = iface;
    routes.push_back(std::move(r));
  }
  return routes;
}

bool ORVLinuxRouteMonitor::flagsFromRoutes(const std::vector<Route>& routes, const ORVReachabilityTarget& target,
                                           uint32_t& flags) {
  switch (target.kind) {
    case ORVReachabilityTarget::Internet:
      flags = internetFlags(routes);
      return true;
    case ORVReachabilityTarget::LocalWiFi:
      return addressFlags(routes, "169.254.0.0", flags);
    case ORVReachabilityTarget::Address:
      return addressFlags(routes, target.name, flags);
    case ORVReachabilityTarget::Hostname:
      if (target.name == "localhost" || target.name == "loopback") return addressFlags(routes, "127.0.0.1", flags);
      if (addressFlags(routes, target.name, flags)) return true;  // an address written as a name
      flags = internetFlags(routes);
      return true;
  }
  return false;
}

// ---- change reports ----------------------------------------------------------

// One registration: the netlink socket read on the caller's queue.
struct ORVLinuxRouteMonitor::Watch {
  orv::DispatchQueuePtr queue;
  ORVReachabilityTarget target;
  ChangeHandler handler;
  // Below: touched only on `queue`.
  std::unique_ptr<asio::posix::stream_descriptor> descriptor;
  std::array<char, 16384> buffer{};
  uint32_t lastFlags = 0;
  bool haveFlags = false;

  static void readNext(const std::shared_ptr<Watch>& watch) {
    if (!watch->descriptor) return;
    std::weak_ptr<Watch> weak = watch;
    watch->descriptor->async_read_some(asio::buffer(watch->buffer), watch->queue->wrap([weak](const std::error_code& ec, std::size_t) {
      auto self = weak.lock();
      if (!self || !self->descriptor || ec == asio::error::operation_aborted) return;
      if (ec && ec != asio::error::no_buffer_space) {  // ENOBUFS: messages lost, the table is re-read anyway
        orv::log("ORVLinuxRouteMonitor::Watch::readNext", "Route change subscription failed: " + ec.message());
        return;
      }
      uint32_t flags = 0;
      if (currentFlags(self->target, flags) && (!self->haveFlags || flags != self->lastFlags)) {
        self->haveFlags = true;
        self->lastFlags = flags;
        self->handler(flags);
        if (!self->descriptor) return;  // the handler stopped watching
      }
      readNext(self);
    }));
  }
};

ORVLinuxRouteMonitor::ORVLinuxRouteMonitor() = default;

ORVLinuxRouteMonitor::~ORVLinuxRouteMonitor() { stopWatching(); }

bool ORVLinuxRouteMonitor::flagsForTarget(const ORVReachabilityTarget& target, uint32_t& flags) {
  return currentFlags(target, flags);
}

bool ORVLinuxRouteMonitor::startWatching(const ORVReachabilityTarget& target, orv::DispatchQueuePtr queue,
                                         ChangeHandler handler) {
  stopWatching();
  if (!queue || !handler) return false;
  const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
  if (fd < 0) return false;
  sockaddr_nl local{};
  local.nl_family = AF_NETLINK;
  local.nl_groups = RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE | RTMGRP_LINK;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return false;
  }
  auto watch = std::make_shared<Watch>();
  watch->queue = queue;
  watch->target = target;
  watch->handler = std::move(handler);
  bool ok = true;
  queue->sync([&] {
    std::error_code ec;
    watch->descriptor = std::make_unique<asio::posix::stream_descriptor>(queue->ioContext());
    watch->descriptor->assign(fd, ec);
    if (ec) {
      ::close(fd);
      watch->descriptor.reset();
      ok = false;
      return;
    }
    watch->haveFlags = currentFlags(target, watch->lastFlags);
    Watch::readNext(watch);
  });
  if (!ok) return false;
  std::shared_ptr<Watch> replaced;
  {
    std::lock_guard lock(mutex_);
    replaced = std::exchange(watch_, std::move(watch));
  }
  if (replaced) replaced->queue->sync([&] { replaced->descriptor.reset(); });
  return true;
}

void ORVLinuxRouteMonitor::stopWatching() {
  std::shared_ptr<Watch> watch;
  {
    std::lock_guard lock(mutex_);
    watch = std::move(watch_);
  }
  if (!watch) return;
  // The descriptor lives on the queue's thread; close it there.
  watch->queue->sync([&] { watch->descriptor.reset(); });
}
