#include "wire/ORVParsedInput.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
// Arena room reserved next to copied bytes: a catalogue answer needs about
// four bytes of entries per input byte. It is capped, so a large input that
// is mostly one byte array does not reserve several times its size; more is
// taken in chunks when a parse really needs it.
constexpr size_t kArenaPerInputByte = 4;
constexpr size_t kArenaMinimum = 256;
constexpr size_t kArenaMaximum = 64 * 1024;
constexpr size_t kChunkMinimum = 4096;
constexpr size_t kAlign = alignof(std::max_align_t);

size_t roundUp(size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); }
}  // namespace

// Allocates the control block with room.size bytes after it and records
// where they start; the input, built next, reads that.
template <typename T>
struct ORVParsedInput::RoomAllocator {
  using value_type = T;
  explicit RoomAllocator(Room* room) noexcept : room_(room) {}
  template <typename U>
  RoomAllocator(const RoomAllocator<U>& other) noexcept : room_(other.room_) {}
  T* allocate(size_t n) {
    size_t head = roundUp(n * sizeof(T));
    auto* block = static_cast<uint8_t*>(::operator new(head + room_->size));
    room_->start = block + head;
    return reinterpret_cast<T*>(block);
  }
  void deallocate(T* p, size_t) noexcept { ::operator delete(p); }
  friend bool operator==(const RoomAllocator&, const RoomAllocator&) noexcept { return true; }

  Room* room_;  // read by allocate only (copyOf's local)
};

std::shared_ptr<const ORVParsedInput> ORVParsedInput::copyOf(std::span<const uint8_t> bytes) {
  size_t arena = bytes.size() < (kArenaMaximum - kArenaMinimum) / kArenaPerInputByte
                     ? bytes.size() * kArenaPerInputByte + kArenaMinimum
                     : kArenaMaximum;
  Room room;
  room.size = roundUp(bytes.size()) + arena;
  return std::allocate_shared<const ORVParsedInput>(RoomAllocator<ORVParsedInput>(&room), bytes, room);
}

ORVParsedInput::ORVParsedInput(std::span<const uint8_t> bytes, const Room& room) {
  if (!bytes.empty()) std::memcpy(room.start, bytes.data(), bytes.size());
  bytes_ = std::span<const uint8_t>(room.start, bytes.size());
  arenaNext_ = room.start + roundUp(bytes.size());
  arenaEnd_ = room.start + room.size;
}

ORVParsedInput::ORVParsedInput(std::shared_ptr<const std::vector<uint8_t>> bytes) : external_(std::move(bytes)) {
  if (external_) bytes_ = std::span<const uint8_t>(*external_);
}

ORVParsedInput::~ORVParsedInput() {
  while (chunks_ != nullptr) {
    Chunk* previous = chunks_->previous;
    std::free(chunks_);
    chunks_ = previous;
  }
}

void* ORVParsedInput::allocate(size_t size, size_t align) const {
  auto next = reinterpret_cast<uintptr_t>(arenaNext_);
  uintptr_t aligned = (next + align - 1) & ~(static_cast<uintptr_t>(align) - 1);
  if (arenaNext_ != nullptr && aligned + size <= reinterpret_cast<uintptr_t>(arenaEnd_)) {
    arenaNext_ = reinterpret_cast<uint8_t*>(aligned + size);
    return reinterpret_cast<void*>(aligned);
  }
  // A new chunk; its header keeps the chain for the destructor.
  size_t header = roundUp(sizeof(Chunk));
  size_t room = size + align > kChunkMinimum ? size + align : kChunkMinimum;
  auto* chunk = static_cast<Chunk*>(std::malloc(header + room));
  if (chunk == nullptr) throw std::bad_alloc();
  chunk->previous = chunks_;
  chunks_ = chunk;
  arenaNext_ = reinterpret_cast<uint8_t*>(chunk) + header;
  arenaEnd_ = arenaNext_ + room;
  return allocate(size, align);
}
