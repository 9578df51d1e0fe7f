#pragma once
// "ours": the client library against the reference session server. The
// server runs as a child process; every lane is one ORVClient, connected and
// handshaken, sending the server's built-in "echo" command with a content of
// a fixed size and taking the answers through a message handler.
//
// Two forms. "ours" (blocking): an application thread sends each request and
// waits for its answer, so every answer pays a wake-up of that thread.
// "ours-async" (handler-driven): the lane sends its first window once and
// every further request is sent from the answer's handler, as an
// asynchronous application works; the handler times each round trip from
// its send, and the harness collects them after the window. Given a hop
// report, the handler-driven form records the library's hops of every answer.

#include <memory>
#include <string>

#include "bench/loopback/HopReport.h"
#include "bench/loopback/LoopbackTarget.h"
#include "bench/loopback/ServerProcess.h"

namespace orv::bench {

class OursTarget : public LoopbackTarget {
 public:
  // Starts the server at `serverPath`; `contentSize` is the size of the byte
  // array carried by each echo.
  OursTarget(const std::string& serverPath, std::size_t contentSize, bool handlerDriven = false,
             HopReport* hops = nullptr);

  std::string name() const override { return handlerDriven_ ? "ours-async" : "ours"; }
  std::unique_ptr<Lane> openLane(std::string& error) override;

 private:
  ServerProcess server_;
  std::size_t contentSize_;
  bool handlerDriven_;
  HopReport* hops_;
};

}  // namespace orv::bench
