#pragma once
// ORVCompressor on snappy's raw block format (a varint uncompressed length,
// then the compressed elements), through snappy's C interface. Stateless:
// one instance may serve any number of threads.

#include "transport/ORVCompressor.h"

class ORVSnappyCompressor : public ORVCompressor {
 public:
  // The uncompressed length announced at the head of a snappy block comes from
  // the peer. We never allocate on its word beyond these bounds:
  //  - kMaxUncompressedLength: the largest input we accept anywhere (the
  //    coded input stream's size limit), 64 MiB;
  //  - kMaxExpansion times the compressed length: no snappy element yields
  //    more than 64 bytes from 3 input bytes (a copy with a 2-byte offset), so
  //    genuine data never expands more than 64/3 < 22 times.
  static constexpr uint32_t kMaxUncompressedLength = 64u * 1024u * 1024u;
  static constexpr uint32_t kMaxExpansion = 22;

  bool compress(std::span<const uint8_t> input, uint32_t inputOffset, uint32_t inputLength,
                std::vector<uint8_t>* output, uint32_t outputOffset,
                uint32_t& compressedLength) const override;

  // Logs "Uncompress error status: %d" when the length header is unreadable.
  // A length over the bounds above, or corrupt data past the header, returns
  // false without a line of its own (the frame codec logs the failure).
  bool uncompress(std::span<const uint8_t> input, uint32_t inputOffset, uint32_t inputLength,
                  std::vector<uint8_t>* output, uint32_t outputOffset,
                  uint32_t& uncompressedLength) const override;
};
