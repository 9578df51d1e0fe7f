#pragma once
// Shared helpers of the frame codec tests: a delegate that collects what the
// decoder hands over, and messages of an exact serialized size.

#include <string>
#include <vector>

#include "transport/ORVIoHandlerDelegate.h"
#include "wire/ORVMessage.h"

namespace orv::test {

class CollectingDelegate : public ORVIoHandlerDelegate {
 public:
  explicit CollectingDelegate(uint32_t max = 1u << 24) : max_(max) {}
  uint32_t maxMessageSize() const override { return max_; }
  void handleMessage(ORVMessagePtr message) override { messages.push_back(std::move(message)); }
  void setMax(uint32_t max) { max_ = max; }

  // "command|content" of every message received, the timestamp left out.
  std::vector<std::string> received() const {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m->command() + "|" + m->content()->description());
    return out;
  }

  std::vector<ORVMessagePtr> messages;

 private:
  uint32_t max_;
};

inline std::string identity(const ORVMessage& m) {
  return m.command() + "|" + m.content()->description();
}

inline std::vector<uint8_t> fromHex(std::string_view hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

// An extension message "big" whose data array serializes to exactly `size`
// bytes (size >= 16), its content one byte array of the filler byte.
inline ORVMutableMessagePtr messageOfSize(uint32_t size, uint8_t filler = 'x') {
  for (uint32_t n = size > 24 ? size - 24 : 0;; ++n) {
    auto content = ORVDataObject::builder().putByteArray(std::vector<uint8_t>(n, filler), "k").build();
    auto m = ORVMessage::messageWithCommandId(ORVCommandIdExtension, "big", content);
    const uint32_t s = m->dataArray()->serializedSize();
    if (s == size) return m;
    if (s > size) {  // the varint of n grew by a byte: pad through the name
      auto padded = ORVMessage::messageWithCommandId(ORVCommandIdExtension, "bi", content);
      if (padded->dataArray()->serializedSize() == size) return padded;
      return nullptr;
    }
  }
}

}  // namespace orv::test
