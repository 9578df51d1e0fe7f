#pragma once
// The input of a parse, shared by every collection parsed from it.
//
// It holds an immutable copy of the bytes (or a caller's shared buffer),
// which parsed texts, byte arrays and keys borrow (see ORVRun), and an arena
// from which the parse takes the entry and element vectors of the
// collections it builds. A whole answer then costs a handful of allocations
// instead of two per collection, and everything is released together when
// the last collection holding the input goes.
//
// The arena is used by one input stream at a time (claimed when the stream
// is created over the input, released when it is destroyed); a second stream
// over the same input meanwhile parses with ordinary allocations. Memory
// taken from the arena is never handed back before the input is destroyed.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

class ORVParsedInput {
 public:
  // Copies the bytes, with room for the arena in the same block.
  explicit ORVParsedInput(std::span<const uint8_t> bytes);
  // Borrows a caller's shared buffer.
  explicit ORVParsedInput(std::shared_ptr<const std::vector<uint8_t>> bytes);
  ORVParsedInput(const ORVParsedInput&) = delete;
  ORVParsedInput& operator=(const ORVParsedInput&) = delete;
  ~ORVParsedInput();

  std::span<const uint8_t> bytes() const { return bytes_; }
  bool contains(const void* p, size_t n) const {
    auto begin = reinterpret_cast<uintptr_t>(bytes_.data());
    auto at = reinterpret_cast<uintptr_t>(p);
    return at >= begin && at + n <= begin + bytes_.size();
  }

  // Claim and release of the arena by an input stream.
  bool claimArena() const { return !arenaClaimed_.exchange(true, std::memory_order_acquire); }
  void releaseArena() const { arenaClaimed_.store(false, std::memory_order_release); }
  // Only by the stream holding the claim.
  void* allocate(size_t size, size_t align) const;

 private:
  struct Chunk {
    Chunk* previous;
  };
  std::shared_ptr<const std::vector<uint8_t>> external_;
  std::unique_ptr<uint8_t[]> block_;  // copied bytes, then the first arena space
  std::span<const uint8_t> bytes_;
  mutable std::atomic<bool> arenaClaimed_{false};
  mutable uint8_t* arenaNext_ = nullptr;
  mutable uint8_t* arenaEnd_ = nullptr;
  mutable Chunk* chunks_ = nullptr;  // further arena chunks, freed with the input
};

using ORVInputBufferPtr = std::shared_ptr<const ORVParsedInput>;

// Allocator of the vectors inside collections: from a parse's arena, or from
// the heap when there is none (builders, and copies made by callers).
template <typename T>
class ORVArenaAllocator {
 public:
  using value_type = T;
  using propagate_on_container_move_assignment = std::true_type;
  using propagate_on_container_swap = std::true_type;
  using propagate_on_container_copy_assignment = std::false_type;

  ORVArenaAllocator() noexcept = default;
  explicit ORVArenaAllocator(const ORVParsedInput* arena) noexcept : arena_(arena) {}
  template <typename U>
  ORVArenaAllocator(const ORVArenaAllocator<U>& other) noexcept : arena_(other.arena()) {}

  T* allocate(size_t n) {
    if (arena_ != nullptr) return static_cast<T*>(arena_->allocate(n * sizeof(T), alignof(T)));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (arena_ == nullptr) std::allocator<T>().deallocate(p, n);
  }
  // A copy of a parsed collection's vector belongs to the caller and must
  // not draw on (or outlive) the parse's arena.
  ORVArenaAllocator select_on_container_copy_construction() const noexcept { return ORVArenaAllocator(); }

  const ORVParsedInput* arena() const { return arena_; }
  friend bool operator==(const ORVArenaAllocator& a, const ORVArenaAllocator& b) noexcept {
    return a.arena_ == b.arena_;
  }

 private:
  const ORVParsedInput* arena_ = nullptr;
};
