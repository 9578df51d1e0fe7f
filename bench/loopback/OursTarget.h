#pragma once
// "ours": the client library against the reference session server. The
// server runs as a child process; every lane is one ORVClient, connected and
// handshaken, sending the server's built-in "echo" command with a content of
// a fixed size and taking the answers through a message handler.

#include <memory>
#include <string>

#include "bench/loopback/LoopbackTarget.h"
#include "bench/loopback/ServerProcess.h"

namespace orv::bench {

class OursTarget : public LoopbackTarget {
 public:
  // Starts the server at `serverPath`; `contentSize` is the size of the byte
  // array carried by each echo.
  OursTarget(const std::string& serverPath, std::size_t contentSize);

  std::string name() const override { return "ours"; }
  std::unique_ptr<Lane> openLane(std::string& error) override;

 private:
  ServerProcess server_;
  std::size_t contentSize_;
};

}  // namespace orv::bench
