#pragma once
// Memory figures of a process read from /proc/<pid>/status, in KiB, and the
// pid of a child of this process found by its command name (the server is
// started by ServerProcess, which keeps its pid to itself).

#include <cstdint>
#include <string>
#include <sys/types.h>

namespace orv::bench {

class ProcessMemory {
 public:
  // The number in `field` ("VmRSS", "VmHWM" in KiB; "Threads") of `pid`
  // (0: this process), or -1.
  static int64_t statusKiB(pid_t pid, const std::string& field);
  // The first child of this process whose comm is `name`, or -1.
  static pid_t childNamed(const std::string& name);
  // Raises the soft open-file limit to at least `wanted` (up to the hard limit).
  static uint64_t raiseOpenFileLimit(uint64_t wanted);
};

}  // namespace orv::bench
