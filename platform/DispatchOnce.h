#pragma once
// A once-only guard: the first call runs the function, later and concurrent
// calls wait for it to finish and then do nothing.

#include <mutex>
#include <utility>

namespace orv {

class DispatchOnce {
 public:
  template <typename F>
  void run(F&& f) {
    std::call_once(flag_, std::forward<F>(f));
  }

 private:
  std::once_flag flag_;
};

}  // namespace orv
