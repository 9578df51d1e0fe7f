// The message parser fed arbitrary bytes. Whatever parses must encode again
// and parse back to the same message (id, name and content).

#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/Log.h"
#include "wire/ORVMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (orv::setLogSink([](std::string_view, std::string_view) {}), true);
  (void)quiet;
  ORVMessagePtr message;
  if (!ORVMessage::parseMessage(message, std::span<const uint8_t>(data, size), 0,
                                static_cast<uint32_t>(size))) {
    return 0;
  }
  const std::vector<uint8_t> encoded = message->dataArray()->data();
  ORVMessagePtr again;
  if (!ORVMessage::parseMessage(again, encoded, 0, static_cast<uint32_t>(encoded.size())) ||
      again->commandId() != message->commandId() || again->command() != message->command() ||
      again->content()->description() != message->content()->description() ||
      again->dataArray()->data() != encoded) {
    std::abort();
  }
  return 0;
}
