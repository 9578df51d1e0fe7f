#include "transport/ORVSnappyCompressor.h"

#include <snappy-c.h>

#include <string>

#include "platform/Log.h"

namespace {

bool rangeInside(std::span<const uint8_t> input, uint32_t offset, uint32_t length) {
  return offset <= input.size() && length <= input.size() - offset;
}

}  // namespace

bool ORVSnappyCompressor::compress(std::span<const uint8_t> input, uint32_t inputOffset,
                                   uint32_t inputLength, std::vector<uint8_t>* output,
                                   uint32_t outputOffset, uint32_t& compressedLength) const {
  if (output == nullptr || !rangeInside(input, inputOffset, inputLength)) return false;
  const size_t room = snappy_max_compressed_length(inputLength);
  const size_t needed = size_t{outputOffset} + room;
  if (output->size() < needed) output->resize(needed);
  size_t produced = room;
  const snappy_status status =
      snappy_compress(reinterpret_cast<const char*>(input.data() + inputOffset), inputLength,
                      reinterpret_cast<char*>(output->data() + outputOffset), &produced);
  if (status != SNAPPY_OK || produced > UINT32_MAX) return false;
  compressedLength = static_cast<uint32_t>(produced);
  return true;
}

bool ORVSnappyCompressor::uncompress(std::span<const uint8_t> input, uint32_t inputOffset,
                                     uint32_t inputLength, std::vector<uint8_t>* output,
                                     uint32_t outputOffset, uint32_t& uncompressedLength) const {
  if (output == nullptr || !rangeInside(input, inputOffset, inputLength)) return false;
  const char* compressed = reinterpret_cast<const char*>(input.data() + inputOffset);
  size_t announced = 0;
  const snappy_status status = snappy_uncompressed_length(compressed, inputLength, &announced);
  if (status != SNAPPY_OK) {
    orv::log("ORVSnappyCompressor::uncompress",
             "Uncompress error status: " + std::to_string(static_cast<int>(status)));
    return false;
  }
  // Refuse before allocating: the announced length is the peer's word only.
  if (announced > kMaxUncompressedLength ||
      announced > uint64_t{kMaxExpansion} * inputLength) {
    return false;
  }
  const size_t needed = size_t{outputOffset} + announced;
  if (output->size() < needed) output->resize(needed);
  size_t produced = announced;
  if (snappy_uncompress(compressed, inputLength,
                        reinterpret_cast<char*>(output->data() + outputOffset),
                        &produced) != SNAPPY_OK) {
    return false;
  }
  uncompressedLength = static_cast<uint32_t>(produced);
  return true;
}
