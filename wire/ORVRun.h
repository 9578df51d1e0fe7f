#pragma once
// A run of bytes held by a wire value: a text (ORVText) or a byte buffer
// (ORVBytes), and the keys of objects.
//
// Runs made by factories and builders own their bytes: up to 16 inline, longer
// ones in one heap block. Runs made by the parsers borrow their bytes from the
// shared, immutable copy of the input (ORVParsedInput) that every collection
// parsed from it holds, so parsing a text costs no allocation and no copy.
//
// Only the parsers can make a borrowing run, and they store it only inside a
// collection that keeps the input alive. A copy of a run always owns its
// bytes, so an element or entry copied out of a parsed collection stays valid
// after the collection and the input are gone.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "wire/ORVExceptions.h"

class ORVDataObject;
class ORVDataArray;
class ORVElementReader;

template <typename T>
class ORVRun {
  static_assert(sizeof(T) == 1, "runs hold bytes");

 public:
  using View = std::conditional_t<std::is_same_v<T, char>, std::string_view, std::span<const T>>;
  // Runs up to this many bytes are owned inline, without a heap block.
  static constexpr size_t kInlineCapacity = 16;

  ORVRun() noexcept : size_(0), mode_(kInline) {}
  // Owning copy of n bytes. Throws ORVInvalidArgumentException beyond 4 GiB
  // (far past anything the wire can carry).
  ORVRun(const T* bytes, size_t n) { assignOwned(bytes, n); }
  explicit ORVRun(View view) : ORVRun(view.data(), view.size()) {}
  ORVRun(const ORVRun& other) { assignOwned(other.data(), other.size_); }
  ORVRun(ORVRun&& other) noexcept { take(other); }
  ORVRun& operator=(const ORVRun& other) {
    if (this != &other) {
      ORVRun copy(other);
      release();
      take(copy);
    }
    return *this;
  }
  ORVRun& operator=(ORVRun&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~ORVRun() { release(); }

  const T* data() const { return mode_ == kInline ? inline_ : ptr_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }
  // True when the bytes belong to a parsed input buffer.
  bool isBorrowed() const { return mode_ == kBorrowed; }
  // True when the destructor has nothing to free.
  bool isTrivialToDestroy() const { return mode_ != kHeap; }

  View view() const { return View(data(), size_); }
  operator View() const { return view(); }  // NOLINT: runs read like views
  // An owned standard copy (std::string for texts, std::vector for bytes).
  auto copy() const {
    if constexpr (std::is_same_v<T, char>) {
      return std::string(data(), size_);
    } else {
      return std::vector<T>(data(), data() + size_);
    }
  }

  friend bool operator==(const ORVRun& a, const ORVRun& b) { return equal(a.data(), a.size_, b.data(), b.size_); }
  friend bool operator==(const ORVRun& a, View b) { return equal(a.data(), a.size_, b.data(), b.size()); }

 private:
  friend class ORVDataObject;
  friend class ORVDataArray;
  friend class ORVElementReader;
  struct BorrowTag {};
  // Borrows bytes that the caller's collection keeps alive.
  ORVRun(BorrowTag, const T* bytes, uint32_t n) noexcept : ptr_(bytes), size_(n), mode_(kBorrowed) {}
  static ORVRun borrow(View view) { return ORVRun(BorrowTag{}, view.data(), static_cast<uint32_t>(view.size())); }

  enum Mode : uint8_t { kInline, kHeap, kBorrowed };

  static bool equal(const T* a, size_t an, const T* b, size_t bn) {
    return an == bn && (an == 0 || std::memcmp(a, b, an) == 0);
  }
// GCC with the sanitizers follows inlined copies into cases it cannot rule
// out: moves of a variant into other alternatives ("may be uninitialised")
// and short literals into the inline branch sized for 16 bytes ("out of
// bounds"). The branches guard both; a run is always fully initialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif
  void assignOwned(const T* bytes, size_t n) {
    if (n > UINT32_MAX) throw ORVInvalidArgumentException("run longer than 4 GiB");
    size_ = static_cast<uint32_t>(n);
    if (n <= kInlineCapacity) {
      mode_ = kInline;
      if (n != 0) std::memcpy(inline_, bytes, n);
    } else {
      T* block = new T[n];
      std::memcpy(block, bytes, n);
      ptr_ = block;
      mode_ = kHeap;
    }
  }
  void take(ORVRun& other) noexcept {
    size_ = other.size_;
    mode_ = other.mode_;
    if (mode_ == kInline) {
      std::memcpy(inline_, other.inline_, kInlineCapacity);
    } else {
      ptr_ = other.ptr_;
    }
    other.size_ = 0;
    other.mode_ = kInline;
  }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
  void release() noexcept {
    if (mode_ == kHeap) delete[] ptr_;
  }

  union {
    const T* ptr_;
    T inline_[kInlineCapacity];
  };
  uint32_t size_;
  Mode mode_;
};

using ORVText = ORVRun<char>;
using ORVBytes = ORVRun<uint8_t>;
