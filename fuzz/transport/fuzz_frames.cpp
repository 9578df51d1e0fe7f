// The frame decoder fed arbitrary bytes in arbitrary chunking. The first byte
// gives the number k (0 to 7) of chunk-size bytes that follow; those sizes
// (0 meaning 256) are used in turn to cut the rest of the input into chunks.
//
// Oracle: every message delivered is framed again (plain and compressed) and
// decoded by a second handler in one chunk, which must give it back.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "platform/Log.h"
#include "transport/ORVFrameWriter.h"
#include "transport/ORVIoHandler.h"
#include "transport/ORVSnappyCompressor.h"

namespace {

class Collector : public ORVIoHandlerDelegate {
 public:
  explicit Collector(uint32_t max) : max_(max) {}
  uint32_t maxMessageSize() const override { return max_; }
  void handleMessage(ORVMessagePtr message) override { messages.push_back(std::move(message)); }
  std::vector<ORVMessagePtr> messages;

 private:
  uint32_t max_;
};

std::string identity(const ORVMessage& m) {
  return std::to_string(m.commandId()) + "|" + m.command() + "|" + m.content()->description();
}

void checkReframes(const ORVMessage& m, const ORVCompressorPtr& compressor) {
  for (uint32_t threshold : {0u, UINT32_MAX}) {
    const auto frame = ORVFrameWriter::buildFrame(m, threshold, UINT32_MAX, compressor.get());
    if (!frame) std::abort();
    auto collector = std::make_shared<Collector>(UINT32_MAX);
    ORVIoHandler decoder(collector, compressor);
    if (!decoder.dataReceived(frame->bytes()) || collector->messages.size() != 1 ||
        identity(*collector->messages[0]) != identity(m)) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (orv::setLogSink([](std::string_view, std::string_view) {}), true);
  (void)quiet;
  if (size == 0) return 0;
  const size_t k = data[0] % 8;
  if (size < 1 + k) return 0;
  std::vector<size_t> sizes;
  for (size_t i = 0; i < k; ++i) sizes.push_back(data[1 + i] == 0 ? 256 : data[1 + i]);
  if (sizes.empty()) sizes.push_back(SIZE_MAX);  // the whole stream in one chunk
  const std::span<const uint8_t> stream(data + 1 + k, size - 1 - k);

  static const ORVCompressorPtr compressor = std::make_shared<ORVSnappyCompressor>();
  auto collector = std::make_shared<Collector>(1u << 20);
  ORVIoHandler handler(collector, compressor);
  size_t p = 0;
  for (size_t i = 0; p < stream.size(); ++i) {
    const size_t n = std::min(sizes[i % sizes.size()], stream.size() - p);
    if (!handler.dataReceived(stream.subspan(p, n))) break;
    p += n;
  }
  for (const auto& m : collector->messages) checkReframes(*m, compressor);
  return 0;
}
