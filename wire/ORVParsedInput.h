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
#include <new>
#include <span>
#include <type_traits>
#include <vector>

class ORVParsedInput {
  struct Room;

 public:
  // A copy of the bytes. The input, its shared_ptr control block, the bytes
  // and the first arena space come in one allocation.
  static std::shared_ptr<const ORVParsedInput> copyOf(std::span<const uint8_t> bytes);
  // For copyOf only (Room is private): the copy is placed in `room`.
  ORVParsedInput(std::span<const uint8_t> bytes, const Room& room);
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
  // Space after the control block (copyOf): the copied bytes, then the
  // first arena space. Set by the allocation before the input is built.
  struct Room {
    size_t size = 0;
    uint8_t* start = nullptr;
  };
  template <typename T>
  struct RoomAllocator;

  std::shared_ptr<const std::vector<uint8_t>> external_;
  std::span<const uint8_t> bytes_;
  mutable std::atomic<bool> arenaClaimed_{false};
  mutable uint8_t* arenaNext_ = nullptr;
  mutable uint8_t* arenaEnd_ = nullptr;
  mutable Chunk* chunks_ = nullptr;  // further arena chunks, freed with the input
};

using ORVInputBufferPtr = std::shared_ptr<const ORVParsedInput>;

// Destruction of a collection's vector members; element types provide
// cheaper overloads (found by argument-dependent lookup).
template <typename U>
void ORVDestroyElement(U* p) noexcept {
  std::destroy_at(p);
}

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
  // Elements and entries skip their destructor where it would do nothing
  // (see ORVDestroyElement), which the variant's own cannot tell cheaply.
  template <typename U>
  void destroy(U* p) noexcept {
    ORVDestroyElement(p);
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

// Allocator of the parsed collections themselves -- an object or array
// together with its shared_ptr control block, through std::allocate_shared --
// from the parse's arena. Each block carries a reference to the input right
// after it, taken in allocate and dropped in deallocate: deallocate is the
// last thing the shared_ptr machinery does with the block, so the arena
// stays alive through every use of it, also when that collection is the
// input's last holder. A parse then makes no heap allocation per collection.
//
// Only for the stream holding the arena claim, and only during its parse:
// `input` is that stream's buffer pointer (allocate reads it; copies of the
// allocator kept by the control block never do).
template <typename T>
class ORVArenaHoldingAllocator {
 public:
  using value_type = T;

  explicit ORVArenaHoldingAllocator(const std::shared_ptr<const ORVParsedInput>& input) noexcept : input_(&input) {}
  template <typename U>
  ORVArenaHoldingAllocator(const ORVArenaHoldingAllocator<U>& other) noexcept : input_(other.input()) {}

  T* allocate(size_t n) {
    void* block = (*input_)->allocate(slotOffset(n) + sizeof(Holder), kAlign);
    ::new (static_cast<char*>(block) + slotOffset(n)) Holder(*input_);
    return static_cast<T*>(block);
  }
  void deallocate(T* p, size_t n) noexcept {
    Holder* slot = std::launder(reinterpret_cast<Holder*>(reinterpret_cast<char*>(p) + slotOffset(n)));
    Holder input = std::move(*slot);
    slot->~Holder();
    // `input` is released last: it may free the arena that holds p.
  }

  const std::shared_ptr<const ORVParsedInput>* input() const { return input_; }
  friend bool operator==(const ORVArenaHoldingAllocator&, const ORVArenaHoldingAllocator&) noexcept { return true; }

 private:
  using Holder = std::shared_ptr<const ORVParsedInput>;
  static constexpr size_t kAlign = alignof(T) > alignof(Holder) ? alignof(T) : alignof(Holder);
  static constexpr size_t slotOffset(size_t n) {
    return (n * sizeof(T) + alignof(Holder) - 1) & ~(alignof(Holder) - 1);
  }

  const std::shared_ptr<const ORVParsedInput>* input_;
};
