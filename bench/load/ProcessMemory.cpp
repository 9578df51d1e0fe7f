#include "bench/load/ProcessMemory.h"

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace orv::bench {

int64_t ProcessMemory::statusKiB(pid_t pid, const std::string& field) {
  std::ifstream in(pid == 0 ? "/proc/self/status" : "/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string prefix = field + ":";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return std::stoll(line.substr(prefix.size()));
  }
  return -1;
}

pid_t ProcessMemory::childNamed(const std::string& name) {
  const pid_t self = ::getpid();
  DIR* dir = ::opendir("/proc");
  if (dir == nullptr) return -1;
  pid_t found = -1;
  while (dirent* entry = ::readdir(dir)) {
    const std::string id = entry->d_name;
    if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream in("/proc/" + id + "/stat");
    std::string stat;
    std::getline(in, stat);
    // "pid (comm) state ppid ...": comm may hold blanks, so cut at the last ')'.
    const auto open = stat.find('(');
    const auto close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    pid_t ppid = 0;
    rest >> state >> ppid;
    if (ppid == self && stat.substr(open + 1, close - open - 1) == name.substr(0, 15)) {
      found = static_cast<pid_t>(std::stol(id));
      break;
    }
  }
  ::closedir(dir);
  return found;
}

uint64_t ProcessMemory::raiseOpenFileLimit(uint64_t wanted) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur < wanted) {
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= wanted ? wanted : limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
  }
  return limit.rlim_cur;
}

}  // namespace orv::bench
