#pragma once
// Allocator of a parsed collection's own node (the object or array and its
// shared-pointer control block), for std::allocate_shared: from the parse's
// arena when the stream holds it, else from the heap.
//
// The node lives inside memory owned by the parse input, so the allocator
// keeps the input alive: the control block's last step (freeing itself)
// runs through a copy of the allocator, which lets go of the input only
// afterwards. Arena memory is never handed back before the input goes.

#include <memory>

#include "wire/ORVParsedInput.h"

template <typename T>
class ORVNodeAllocator {
 public:
  using value_type = T;

  ORVNodeAllocator(const ORVParsedInput* arena, std::shared_ptr<const ORVParsedInput> input) noexcept
      : arena_(arena), input_(arena ? std::move(input) : nullptr) {}
  template <typename U>
  ORVNodeAllocator(const ORVNodeAllocator<U>& other) noexcept : arena_(other.arena()), input_(other.input()) {}

  T* allocate(size_t n) {
    if (arena_ != nullptr) return static_cast<T*>(arena_->allocate(n * sizeof(T), alignof(T)));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (arena_ == nullptr) std::allocator<T>().deallocate(p, n);
  }

  const ORVParsedInput* arena() const { return arena_; }
  const std::shared_ptr<const ORVParsedInput>& input() const { return input_; }
  friend bool operator==(const ORVNodeAllocator& a, const ORVNodeAllocator& b) noexcept { return a.arena_ == b.arena_; }

 private:
  const ORVParsedInput* arena_;
  std::shared_ptr<const ORVParsedInput> input_;
};
