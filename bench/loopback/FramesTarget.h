#pragma once
// "frames": the session server driven without the client library. A blocking
// socket sends frames built once with the library's frame writer (handshake,
// then the same "echo" request as "ours") and skips over the answer frames by
// their length prefix. Set beside "ours", it tells how much of the cost is the
// server and the wire, and how much is the client library's threads and
// queues.

#include <memory>
#include <string>
#include <vector>

#include "bench/loopback/LoopbackTarget.h"
#include "bench/loopback/ServerProcess.h"

namespace orv::bench {

class FramesTarget : public LoopbackTarget {
 public:
  FramesTarget(const std::string& serverPath, std::size_t contentSize);

  std::string name() const override { return "frames"; }
  std::unique_ptr<Lane> openLane(std::string& error) override;

 private:
  ServerProcess server_;
  std::vector<uint8_t> handshakeFrame_;
  std::vector<uint8_t> echoFrame_;
};

}  // namespace orv::bench
