#include "bench/loopback/ServerProcess.h"

#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orv::bench {
namespace {

// How long the server may take to print its address.
constexpr int kStartTimeoutMs = 10000;

}  // namespace

ServerProcess::ServerProcess(const std::string& path, const std::vector<std::string>& extra) {
  int out[2];
  if (::pipe(out) != 0) {
    error_ = std::strerror(errno);
    return;
  }
  // Sessions only: the benchmarks measure the protocol, not the store.
  std::vector<std::string> args = {path, "--listen", "127.0.0.1:0", "--no-store"};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    // The server's log lines would interleave with the table.
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) ::dup2(devnull, STDERR_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  if (pid_ < 0) {
    error_ = std::strerror(errno);
    ::close(out[0]);
    return;
  }

  // Read up to the end of the first line.
  std::string line;
  char c = 0;
  while (line.find('\n') == std::string::npos) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, kStartTimeoutMs) <= 0 || ::read(out[0], &c, 1) != 1) break;
    line += c;
  }
  ::close(out[0]);  // the server's later output goes nowhere; it prints only this line
  const std::string prefix = "listening on ";
  const auto colon = line.rfind(':');
  if (line.rfind(prefix, 0) == 0 && colon != std::string::npos) {
    port_ = static_cast<uint16_t>(std::strtoul(line.c_str() + colon + 1, nullptr, 10));
  }
  if (port_ == 0) error_ = "orv-server did not start (" + path + "): \"" + line + "\"";
}

ServerProcess::~ServerProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

}  // namespace orv::bench
