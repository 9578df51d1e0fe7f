#pragma once
// Byte streams for tests: an input that hands out at most N bytes per read,
// and an output that accepts at most N bytes per write and, optionally,
// refuses everything after a byte budget.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "wire/ORVInputByteStream.h"
#include "wire/ORVOutputByteStream.h"

namespace orv::test {

class ChunkedInput final : public ORVInputByteStream {
 public:
  ChunkedInput(std::vector<uint8_t> bytes, size_t chunk) : bytes_(std::move(bytes)), chunk_(chunk) {}
  long read(uint8_t* buffer, size_t maxLength) override {
    size_t n = std::min({maxLength, chunk_, bytes_.size() - pos_});
    std::copy_n(bytes_.begin() + static_cast<long>(pos_), n, buffer);
    pos_ += n;
    ++reads_;
    return static_cast<long>(n);
  }
  size_t consumed() const { return pos_; }
  int reads() const { return reads_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t chunk_;
  size_t pos_ = 0;
  int reads_ = 0;
};

class ChunkedOutput final : public ORVOutputByteStream {
 public:
  explicit ChunkedOutput(size_t chunk, size_t budget = SIZE_MAX) : chunk_(chunk), budget_(budget) {}
  long write(const uint8_t* bytes, size_t length) override {
    size_t n = std::min({length, chunk_, budget_ - written.size()});
    if (n == 0) return -1;
    written.insert(written.end(), bytes, bytes + n);
    return static_cast<long>(n);
  }
  std::vector<uint8_t> written;

 private:
  size_t chunk_;
  size_t budget_;
};

}  // namespace orv::test
