// Parses the input as a data array and as a data object; whatever parses must
// encode to exactly serializedSize() bytes, parse again to an equal value,
// and encode to the same bytes the second time. The same input is also read
// through a byte stream that hands out a few bytes at a time, which must
// agree with the memory parse.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/Log.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVInputByteStream.h"
#include "wire/ORVValueEquality.h"

namespace {

class SmallReads final : public ORVInputByteStream {
 public:
  SmallReads(std::span<const uint8_t> data, size_t chunk) : data_(data), chunk_(chunk) {}
  long read(uint8_t* buffer, size_t maxLength) override {
    size_t n = std::min({maxLength, chunk_, data_.size() - pos_});
    std::copy_n(data_.begin() + static_cast<long>(pos_), n, buffer);
    pos_ += n;
    return static_cast<long>(n);
  }

 private:
  std::span<const uint8_t> data_;
  size_t chunk_;
  size_t pos_ = 0;
};

template <typename Ptr, typename Parse>
void roundTrip(std::span<const uint8_t> input, Parse parse) {
  Ptr first;
  bool parsed = parse(first, input);
  SmallReads stream(input, input.empty() ? 1 : 1 + input[0] % 7);
  Ptr viaStream;
  bool parsedViaStream = parse(viaStream, stream);
  if (parsed != parsedViaStream) abort();
  if (!parsed) return;
  if (!ORVValuesEqual(*first, *viaStream)) abort();

  std::vector<uint8_t> bytes = first->data();
  if (bytes.size() != first->serializedSize()) abort();
  Ptr second;
  if (!parse(second, std::span<const uint8_t>(bytes))) abort();
  if (!ORVValuesEqual(*first, *second)) abort();
  if (second->data() != bytes) abort();
  (void)first->description();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    orv::setLogSink([](std::string_view, std::string_view) {});
    return true;
  }();
  (void)quiet;
  std::span<const uint8_t> input(data, size);
  roundTrip<ORVDataArrayPtr>(input, [](ORVDataArrayPtr& out, auto&& in) { return ORVDataArray::parseDataArray(out, in); });
  roundTrip<ORVDataObjectPtr>(input,
                              [](ORVDataObjectPtr& out, auto&& in) { return ORVDataObject::parseDataObject(out, in); });
  return 0;
}
