#include "tests/support/FaultProxy.h"

#include <array>
#include <deque>
#include <exception>
#include <future>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include <asio.hpp>

namespace orv::test {
namespace {

using asio::ip::tcp;
using Clock = std::chrono::steady_clock;

// Largest read from one side at a time.
constexpr std::size_t kReadSize = 64 * 1024;
// A direction stops reading while this many bytes wait to be written, so a
// delayed or slow side cannot make the proxy buffer without bound.
constexpr std::size_t kMaxQueued = 1024 * 1024;

}  // namespace

// Everything below runs on the I/O thread only, except the constructor and
// the destructor (which run before the thread starts and after it ended).
class FaultProxy::Impl {
 public:
  // One direction of one connection: reads from `from`, queues, writes to `to`.
  struct Pump {
    Pump(Direction d, tcp::socket& src, tcp::socket& dst, asio::io_context& io)
        : direction(d), from(src), to(dst), timer(io) {}
    struct Chunk {
      Clock::time_point due;
      std::vector<uint8_t> bytes;
      std::size_t offset = 0;
    };
    Direction direction;
    tcp::socket& from;
    tcp::socket& to;
    asio::steady_timer timer;  // delay of the head chunk, or the gap between pieces
    std::array<uint8_t, kReadSize> buffer{};
    std::deque<Chunk> queue;
    std::size_t queued = 0;
    bool reading = false;
    bool writing = false;  // a write, a delay or a gap is under way
    bool sourceEof = false;
    bool sinkShut = false;
  };

  struct Connection {
    explicit Connection(asio::io_context& io, tcp::socket accepted)
        : client(std::move(accepted)),
          server(io),
          up(Direction::ClientToServer, client, server, io),
          down(Direction::ServerToClient, server, client, io) {}
    tcp::socket client;
    tcp::socket server;
    Pump up;
    Pump down;
    bool closed = false;
  };
  using ConnectionPtr = std::shared_ptr<Connection>;

  struct Cut {
    bool armed = false;
    uint64_t budget = 0;     // bytes still allowed through
    unsigned inFlight = 0;   // writes issued against the budget, not yet done
    CloseMode mode = CloseMode::Fin;
  };

  Impl(FaultProxy& owner, uint16_t targetPort)
      : owner_(owner),
        work_(asio::make_work_guard(io_)),
        acceptor_(io_),
        refuseTimer_(io_),
        target_(asio::ip::make_address_v4("127.0.0.1"), targetPort) {
    openAcceptor(0);
    port_ = acceptor_.local_endpoint().port();
  }

  uint16_t port() const { return port_; }
  void start() {
    startAccept();
    thread_ = std::thread([this] { io_.run(); });
  }
  asio::io_context& io() { return io_; }
  bool onIoThread() const { return std::this_thread::get_id() == thread_.get_id(); }

  // Closes everything so that io_.run() runs out of work, then joins.
  void shutdownOnIo() {
    stopped_ = true;
    asio::error_code ec;
    acceptor_.close(ec);
    refuseTimer_.cancel();
    for (const ConnectionPtr& c : std::set<ConnectionPtr>(live_)) closeConnection(c, CloseMode::Fin);
  }
  void join() {
    work_.reset();
    if (thread_.joinable()) thread_.join();
  }

  void armCut(Direction d, uint64_t bytes, CloseMode mode) {
    Cut& cut = cuts_[index(d)];
    cut.armed = true;
    cut.budget = bytes;
    cut.mode = mode;
    maybeFireCut(d);
  }
  void cancelCut() {
    for (Cut& cut : cuts_) cut.armed = false;
    // Pumps that were holding at an exhausted budget may go on now.
    for (const ConnectionPtr& c : std::set<ConnectionPtr>(live_)) {
      kickWrite(c, c->up);
      kickWrite(c, c->down);
    }
  }
  void setDelay(std::chrono::milliseconds d) { delay_ = d; }
  void setSplit(std::size_t piece, std::chrono::microseconds gap) {
    piece_ = piece;
    gap_ = gap;
  }
  void resetAll() {
    for (const ConnectionPtr& c : std::set<ConnectionPtr>(live_)) {
      owner_.connectionsCut_++;
      closeConnection(c, CloseMode::Reset);
    }
  }

  void refuse(RefuseMode mode, std::chrono::milliseconds period) {
    if (refusing_) endRefusal();
    refusing_ = true;
    refuseMode_ = mode;
    const uint64_t generation = ++refuseGeneration_;
    if (mode == RefuseMode::StopListening) {
      asio::error_code ec;
      acceptor_.close(ec);
    }
    if (period.count() > 0) {
      refuseTimer_.expires_after(period);
      refuseTimer_.async_wait([this, generation](const asio::error_code& ec) {
        if (!ec && generation == refuseGeneration_) endRefusal();
      });
    }
  }

  void endRefusal() {
    if (!refusing_) return;
    refusing_ = false;
    ++refuseGeneration_;
    refuseTimer_.cancel();
    if (refuseMode_ == RefuseMode::StopListening && !stopped_) reopenAcceptor();
  }

 private:
  static std::size_t index(Direction d) { return static_cast<std::size_t>(d); }

  void openAcceptor(uint16_t port) {
    tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
    acceptor_.open(endpoint.protocol());
    acceptor_.set_option(tcp::acceptor::reuse_address(true));
    acceptor_.bind(endpoint);
    acceptor_.listen();
  }

  // After a StopListening period: listen again on the same port. A failed
  // bind (the port briefly held elsewhere) is retried shortly.
  void reopenAcceptor() {
    try {
      openAcceptor(port_);
      startAccept();
    } catch (const std::exception&) {
      asio::error_code ignored;
      acceptor_.close(ignored);
      refuseTimer_.expires_after(std::chrono::milliseconds(10));
      const uint64_t generation = refuseGeneration_;
      refuseTimer_.async_wait([this, generation](const asio::error_code& ec) {
        if (!ec && !stopped_ && !refusing_ && generation == refuseGeneration_) reopenAcceptor();
      });
    }
  }

  void startAccept() {
    acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
      if (ec == asio::error::operation_aborted || stopped_ || !acceptor_.is_open()) return;
      if (!ec) onAccepted(std::move(socket));
      startAccept();
    });
  }

  void onAccepted(tcp::socket socket) {
    asio::error_code ignored;
    if (refusing_ && refuseMode_ == RefuseMode::AcceptAndClose) {
      owner_.connectionsRefused_++;
      socket.shutdown(tcp::socket::shutdown_both, ignored);
      socket.close(ignored);
      return;
    }
    auto c = std::make_shared<Connection>(io_, std::move(socket));
    c->client.set_option(tcp::no_delay(true), ignored);
    live_.insert(c);
    owner_.connectionsSeen_++;
    owner_.liveConnections_++;
    c->server.async_connect(target_, [this, c](const asio::error_code& ec) {
      if (c->closed) return;
      if (ec) {
        closeConnection(c, CloseMode::Reset);
        return;
      }
      asio::error_code ignored2;
      c->server.set_option(tcp::no_delay(true), ignored2);
      startRead(c, c->up);
      startRead(c, c->down);
    });
  }

  void startRead(const ConnectionPtr& c, Pump& p) {
    if (c->closed || p.reading || p.sourceEof || p.queued >= kMaxQueued) return;
    p.reading = true;
    p.from.async_read_some(asio::buffer(p.buffer), [this, c, &p](const asio::error_code& ec, std::size_t n) {
      p.reading = false;
      if (c->closed) return;
      if (ec == asio::error::eof) {
        p.sourceEof = true;
        kickWrite(c, p);
        return;
      }
      if (ec) {
        // A reset (or any other failure) on one side is passed on as a reset.
        closeConnection(c, CloseMode::Reset);
        return;
      }
      p.queue.push_back({Clock::now() + delay_, std::vector<uint8_t>(p.buffer.begin(), p.buffer.begin() + n), 0});
      p.queued += n;
      kickWrite(c, p);
      startRead(c, p);
    });
  }

  // Starts writing the head chunk when nothing is under way: waits for its
  // due time first, then writes one piece. An exhausted cut budget holds the
  // write; the cut then closes the connection.
  void kickWrite(const ConnectionPtr& c, Pump& p) {
    if (c->closed || p.writing) return;
    if (p.queue.empty()) {
      if (p.sourceEof && !p.sinkShut) {
        p.sinkShut = true;
        asio::error_code ignored;
        p.to.shutdown(tcp::socket::shutdown_send, ignored);
        if (c->up.sinkShut && c->down.sinkShut) closeConnection(c, CloseMode::Fin);
      }
      return;
    }
    Pump::Chunk& head = p.queue.front();
    if (head.due > Clock::now()) {
      waitThenWrite(c, p, head.due);
      return;
    }
    std::size_t n = head.bytes.size() - head.offset;
    if (piece_ > 0) n = std::min(n, piece_);
    Cut& cut = cuts_[index(p.direction)];
    if (cut.armed) {
      if (cut.budget == 0) return;
      n = static_cast<std::size_t>(std::min<uint64_t>(n, cut.budget));
      cut.budget -= n;
      cut.inFlight++;
    }
    const bool counted = cut.armed;
    p.writing = true;
    asio::async_write(p.to, asio::buffer(head.bytes.data() + head.offset, n),
                      [this, c, &p, counted](const asio::error_code& ec, std::size_t written) {
                        p.writing = false;
                        Cut& cut = cuts_[index(p.direction)];
                        if (counted && cut.inFlight > 0) cut.inFlight--;
                        if (!c->closed && !ec) {
                          owner_.forwarded_[index(p.direction)] += written;
                          Pump::Chunk& done = p.queue.front();
                          done.offset += written;
                          p.queued -= written;
                          if (done.offset == done.bytes.size()) p.queue.pop_front();
                        } else if (!c->closed) {
                          closeConnection(c, CloseMode::Reset);
                        }
                        if (maybeFireCut(p.direction) || c->closed) return;
                        if (piece_ > 0 && gap_.count() > 0 && !p.queue.empty()) {
                          waitThenWrite(c, p, Clock::now() + gap_);
                        } else {
                          kickWrite(c, p);
                        }
                        startRead(c, p);
                      });
  }

  void waitThenWrite(const ConnectionPtr& c, Pump& p, Clock::time_point when) {
    p.writing = true;
    p.timer.expires_at(when);
    p.timer.async_wait([this, c, &p](const asio::error_code& ec) {
      p.writing = false;
      if (ec || c->closed) return;
      kickWrite(c, p);
    });
  }

  // Fires an armed cut whose budget is used up and fully written.
  bool maybeFireCut(Direction d) {
    Cut& cut = cuts_[index(d)];
    if (!cut.armed || cut.budget > 0 || cut.inFlight > 0) return false;
    cut.armed = false;
    for (const ConnectionPtr& c : std::set<ConnectionPtr>(live_)) {
      owner_.connectionsCut_++;
      closeConnection(c, cut.mode);
    }
    return true;
  }

  void closeConnection(const ConnectionPtr& c, CloseMode mode) {
    if (c->closed) return;
    c->closed = true;
    asio::error_code ignored;
    for (tcp::socket* s : {&c->client, &c->server}) {
      if (!s->is_open()) continue;
      if (mode == CloseMode::Reset) {
        s->set_option(asio::socket_base::linger(true, 0), ignored);
      } else {
        s->shutdown(tcp::socket::shutdown_both, ignored);
      }
      s->close(ignored);
    }
    c->up.timer.cancel();
    c->down.timer.cancel();
    if (live_.erase(c) > 0) owner_.liveConnections_--;
  }

  FaultProxy& owner_;
  asio::io_context io_;
  asio::executor_work_guard<asio::io_context::executor_type> work_;
  tcp::acceptor acceptor_;
  asio::steady_timer refuseTimer_;
  tcp::endpoint target_;
  uint16_t port_ = 0;
  std::thread thread_;
  std::set<ConnectionPtr> live_;
  bool stopped_ = false;
  Clock::duration delay_{};
  std::size_t piece_ = 0;
  std::chrono::microseconds gap_{0};
  Cut cuts_[2];
  bool refusing_ = false;
  RefuseMode refuseMode_ = RefuseMode::AcceptAndClose;
  uint64_t refuseGeneration_ = 0;
};

FaultProxy::FaultProxy(uint16_t targetPort) : impl_(std::make_unique<Impl>(*this, targetPort)) {
  port_ = impl_->port();
  impl_->start();
}

FaultProxy::~FaultProxy() {
  runOnIo([](Impl& impl) { impl.shutdownOnIo(); });
  impl_->join();
}

void FaultProxy::runOnIo(std::function<void(Impl&)> fn) {
  if (impl_->onIoThread()) std::terminate();  // would wait for itself
  std::promise<void> done;
  asio::post(impl_->io(), [&] {
    try {
      fn(*impl_);
      done.set_value();
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
  done.get_future().get();
}

void FaultProxy::cutAfter(Direction direction, uint64_t bytes, CloseMode mode) {
  runOnIo([=](Impl& impl) { impl.armCut(direction, bytes, mode); });
}

void FaultProxy::cancelCut() {
  runOnIo([](Impl& impl) { impl.cancelCut(); });
}

void FaultProxy::setDelay(std::chrono::milliseconds delay) {
  runOnIo([=](Impl& impl) { impl.setDelay(delay); });
}

void FaultProxy::setSplit(std::size_t pieceSize, std::chrono::microseconds gap) {
  runOnIo([=](Impl& impl) { impl.setSplit(pieceSize, gap); });
}

void FaultProxy::resetAll() {
  runOnIo([](Impl& impl) { impl.resetAll(); });
}

void FaultProxy::refuse(RefuseMode mode, std::chrono::milliseconds period) {
  runOnIo([=](Impl& impl) { impl.refuse(mode, period); });
}

void FaultProxy::acceptAgain() {
  runOnIo([](Impl& impl) { impl.endRefusal(); });
}

uint64_t FaultProxy::bytesForwarded(Direction direction) const {
  return forwarded_[static_cast<std::size_t>(direction)].load();
}

}  // namespace orv::test
