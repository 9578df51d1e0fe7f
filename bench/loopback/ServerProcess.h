#pragma once
// Runs orv-server as a child process on 127.0.0.1 with a system-chosen port:
// starts it, reads its "listening on HOST:PORT" line, and stops it (SIGTERM,
// then waits) when destroyed.

#include <string>
#include <sys/types.h>
#include <vector>

namespace orv::bench {

class ServerProcess {
 public:
  // Starts `path --listen 127.0.0.1:0 --no-store <extra>`. ok() tells whether it came up.
  ServerProcess(const std::string& path, const std::vector<std::string>& extra);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool ok() const { return port_ != 0; }
  const std::string& error() const { return error_; }
  uint16_t port() const { return port_; }

 private:
  pid_t pid_ = -1;
  uint16_t port_ = 0;
  std::string error_;
};

}  // namespace orv::bench
