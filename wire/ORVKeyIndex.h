#pragma once
// Open-addressing hash index from key to entry position, used by objects and
// object builders once they hold more than a handful of keys. Small objects
// (the common case: a dozen keys or fewer) are searched linearly, which beats
// hashing at that size; large ones (up to 4096 keys) stay O(1) per lookup, so a
// hostile object with thousands of keys cannot make parsing quadratic.

#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ORVKeyIndex {
 public:
  // Entry counts above this get a hash index; at or below, a linear scan.
  static constexpr size_t kLinearLimit = 12;

  // Length and first seven bytes of a key in one word. Keys of up to seven
  // bytes (nearly all keys) are equal exactly when their fingerprints are;
  // longer keys with equal fingerprints still need a full comparison.
  static constexpr size_t kFingerprintBytes = 7;
  static uint64_t fingerprint(std::string_view key) {
    const auto* p = reinterpret_cast<const uint8_t*>(key.data());
    const size_t n = key.size();
    const uint64_t length = static_cast<uint64_t>(n < 255 ? n : 255) << 56;
    if constexpr (std::endian::native == std::endian::little) {
      // Fast path: the bytes are taken with at most two loads, overlapping
      // where the key is shorter than their sum (the shared bytes land on
      // the same bits), instead of one shift and OR per byte.
      uint64_t word;
      if (n >= 8) {
        std::memcpy(&word, p, 8);
        word &= 0x00FFFFFFFFFFFFFFull;
      } else if (n >= 4) {
        uint32_t head, tail;
        std::memcpy(&head, p, 4);
        std::memcpy(&tail, p + n - 4, 4);
        word = head | static_cast<uint64_t>(tail) << (8 * (n - 4));
      } else if (n >= 2) {
        uint16_t head;
        std::memcpy(&head, p, 2);
        word = head | static_cast<uint64_t>(p[n - 1]) << (8 * (n - 1));
      } else {
        word = n == 1 ? p[0] : 0;
      }
      return word | length;
    }
    // Slow path (other byte orders): assembled byte by byte in a register.
    size_t m = n < kFingerprintBytes ? n : kFingerprintBytes;
    uint64_t word = 0;
    for (size_t i = 0; i < m; ++i) word |= static_cast<uint64_t>(p[i]) << (8 * i);
    return word | length;
  }

  // fingerprint() of a key of at most seven bytes given as one word, its
  // first byte lowest and the bytes past the key zero (see
  // ORVCodedInputStream::readShortAsciiKeyAndTag).
  static uint64_t fingerprintOfShortKey(uint64_t bytes, size_t n) { return bytes | static_cast<uint64_t>(n) << 56; }

  bool empty() const { return slots_.empty(); }
  void clear() { slots_.clear(); }

  // Rebuilds the index over keys[0..count), reading key i through keyAt(i).
  template <typename KeyAt>
  void rebuild(size_t count, KeyAt keyAt) {
    size_t capacity = 32;
    while (capacity < count * 2) capacity *= 2;
    slots_.assign(capacity, 0);
    for (size_t i = 0; i < count; ++i) insertNew(keyAt(i), static_cast<uint32_t>(i));
  }

  // Adds position `pos` for a key known to be absent; grows when half full.
  template <typename KeyAt>
  void insert(std::string_view key, uint32_t pos, KeyAt keyAt) {
    if ((static_cast<size_t>(pos) + 1) * 2 > slots_.size()) {
      rebuild(pos, keyAt);
    }
    insertNew(key, pos);
  }

  // Position of the key, or -1.
  template <typename KeyAt>
  int64_t find(std::string_view key, KeyAt keyAt) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash(key) & mask;; i = (i + 1) & mask) {
      uint32_t slot = slots_[i];
      if (slot == 0) return -1;
      if (keyAt(slot - 1) == key) return slot - 1;
    }
  }

 private:
  static size_t hash(std::string_view key) { return std::hash<std::string_view>{}(key); }
  void insertNew(std::string_view key, uint32_t pos) {
    const size_t mask = slots_.size() - 1;
    size_t i = hash(key) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = pos + 1;
  }
  std::vector<uint32_t> slots_;  // 0 = empty, else position + 1
};
