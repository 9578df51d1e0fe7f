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

ORVParsedInput::ORVParsedInput(std::span<const uint8_t> bytes) {
  size_t start = roundUp(bytes.size());
  size_t arena = bytes.size() < (kArenaMaximum - kArenaMinimum) / kArenaPerInputByte
                     ? bytes.size() * kArenaPerInputByte + kArenaMinimum
                     : kArenaMaximum;
  block_.reset(new uint8_t[start + arena]);
  if (!bytes.empty()) std::memcpy(block_.get(), bytes.data(), bytes.size());
  bytes_ = std::span<const uint8_t>(block_.get(), bytes.size());
  arenaNext_ = block_.get() + start;
  arenaEnd_ = arenaNext_ + arena;
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
