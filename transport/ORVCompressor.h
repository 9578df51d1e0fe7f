#pragma once
// What the frame codec needs from a compression scheme. One instance is shared
// by every connector of a factory and used from several threads at once, so
// implementations keep no mutable state (hence the const methods).

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class ORVCompressor {
 public:
  virtual ~ORVCompressor() = default;

  // Compresses input[inputOffset, inputOffset + inputLength) into *output from
  // outputOffset on, growing *output when it is too short (never shrinking it)
  // and leaving the bytes before outputOffset untouched. Stores the number of
  // bytes produced in compressedLength. False when output is null, the range
  // lies outside the input, or the scheme fails.
  virtual bool compress(std::span<const uint8_t> input, uint32_t inputOffset,
                        uint32_t inputLength, std::vector<uint8_t>* output,
                        uint32_t outputOffset, uint32_t& compressedLength) const = 0;

  // The reverse, with the same contract.
  virtual bool uncompress(std::span<const uint8_t> input, uint32_t inputOffset,
                          uint32_t inputLength, std::vector<uint8_t>* output,
                          uint32_t outputOffset, uint32_t& uncompressedLength) const = 0;
};

using ORVCompressorPtr = std::shared_ptr<const ORVCompressor>;
