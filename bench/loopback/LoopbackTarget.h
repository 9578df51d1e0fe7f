#pragma once
// What the loopback harness drives: a target opens connections ("lanes"), and
// a lane sends fixed requests and waits for their answers. The floor (plain
// blocking sockets) and our client library are two targets run with the same
// traffic pattern, so their figures can be set side by side.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace orv::bench {

// One connection. sendRequest() and awaitAnswer() may be called from two
// different threads at once (one sender, one receiver), never each from two.
class Lane {
 public:
  virtual ~Lane() = default;
  // Sends one request; false when the connection failed.
  virtual bool sendRequest() = 0;
  // Waits for the next complete answer; false on failure or time-out.
  virtual bool awaitAnswer() = 0;
  // Told once, before any request, how many requests the harness keeps
  // outstanding.
  virtual void prepare(int inFlight) { (void)inFlight; }

  // A lane whose answers drive its next requests (an asynchronous
  // application: each answer's handler sends the next request) times its
  // round trips itself. The harness starts it, sleeps through the window and
  // collects the rounds, so no harness thread wakes for each answer, which
  // the application would not pay either.
  struct Round {
    std::chrono::steady_clock::time_point sent;
    std::chrono::steady_clock::time_point answered;
  };
  virtual bool drivesItself() const { return false; }
  // Sends the first `inFlight` requests; false when the connection failed.
  virtual bool startDriving() { return false; }
  // Sends no more, waits for the answers still due and hands over every
  // round; false on failure or time-out.
  virtual bool stopDriving(std::vector<Round>& rounds) {
    (void)rounds;
    return false;
  }
};

class LoopbackTarget {
 public:
  virtual ~LoopbackTarget() = default;
  virtual std::string name() const = 0;
  // A new connected lane, or nullptr (with the reason in `error`).
  virtual std::unique_ptr<Lane> openLane(std::string& error) = 0;
};

}  // namespace orv::bench
