#include "platform/DispatchQueue.h"

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>

#include <future>
#include <optional>
#include <thread>
#include <vector>

namespace orv {

// Shared by the queue object and its worker threads, so a worker that outlives
// the queue (queue destroyed from its own task) still has its io_context.
struct DispatchQueue::Core {
  Core(std::string l, bool s) : label(std::move(l)), serial(s), work(asio::make_work_guard(io)) {}

  std::string label;
  bool serial;
  asio::io_context io;
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
  std::vector<std::thread> threads;
};

namespace {

// The core whose task the calling thread is running (workers never change it).
thread_local const DispatchQueue::Core* tlCurrent = nullptr;

void workerLoop(std::shared_ptr<DispatchQueue::Core> core) {
  tlCurrent = core.get();
  core->io.run();
  tlCurrent = nullptr;
}

}  // namespace

std::shared_ptr<DispatchQueue> DispatchQueue::serial(std::string label) {
  auto core = std::make_shared<Core>(std::move(label), true);
  core->threads.emplace_back(workerLoop, core);
  return std::shared_ptr<DispatchQueue>(new DispatchQueue(std::move(core)));
}

std::shared_ptr<DispatchQueue> DispatchQueue::concurrent(std::string label, std::size_t threads) {
  auto core = std::make_shared<Core>(std::move(label), false);
  if (threads == 0) threads = 1;
  for (std::size_t i = 0; i < threads; ++i) core->threads.emplace_back(workerLoop, core);
  return std::shared_ptr<DispatchQueue>(new DispatchQueue(std::move(core)));
}

DispatchQueue::DispatchQueue(std::shared_ptr<Core> core) : core_(std::move(core)) {}

DispatchQueue::~DispatchQueue() {
  core_->work.reset();
  core_->io.stop();
  const auto self = std::this_thread::get_id();
  for (auto& t : core_->threads) {
    if (t.get_id() == self) {
      t.detach();  // destroyed from our own task: this worker exits after it
    } else if (t.joinable()) {
      t.join();
    }
  }
}

const std::string& DispatchQueue::label() const { return core_->label; }

bool DispatchQueue::isSerial() const { return core_->serial; }

void DispatchQueue::async(Task task) { asio::post(core_->io, std::move(task)); }

void DispatchQueue::sync(const Task& task) {
  if (isCurrent()) {
    task();
    return;
  }
  // The promise travels with the task; if the queue discards the task the
  // promise is destroyed unfulfilled and the waiter wakes up all the same.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::exception_ptr failure;
  asio::post(core_->io, [&task, &failure, done = std::move(done)]() mutable {
    try {
      task();
    } catch (...) {
      failure = std::current_exception();
    }
    done->set_value();
    done.reset();
  });
  try {
    finished.get();
  } catch (const std::future_error&) {
    return;  // discarded by a queue being destroyed
  }
  if (failure) std::rethrow_exception(failure);
}

bool DispatchQueue::isCurrent() const { return tlCurrent == core_.get(); }

asio::io_context& DispatchQueue::ioContext() { return core_->io; }

std::string DispatchQueue::currentLabel() { return tlCurrent ? tlCurrent->label : std::string(); }

}  // namespace orv
