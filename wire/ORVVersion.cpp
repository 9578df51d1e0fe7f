#include "wire/ORVVersion.h"

#include <limits>

namespace {

// Reads the run of ASCII digits at `pos`, advancing past it. An empty run is 0.
int32_t readNumber(std::string_view text, size_t& pos) {
  int64_t value = 0;
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos] - '0');
    if (value > kMax) value = kMax;  // saturate; keeps consuming the run
    ++pos;
  }
  return static_cast<int32_t>(value);
}

}  // namespace

ORVVersion::ORVVersion(int32_t major, int32_t minor, int32_t micro,
                       std::optional<std::string> qualifier)
    : major_(major), minor_(minor), micro_(micro), qualifier_(std::move(qualifier)) {}

ORVVersion ORVVersion::versionWithString(std::string_view text) {
  size_t pos = 0;
  const int32_t major = readNumber(text, pos);
  int32_t minor = 0;
  int32_t micro = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    minor = readNumber(text, pos);
  }
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    micro = readNumber(text, pos);
  }
  std::optional<std::string> qualifier;
  if (pos < text.size() && text[pos] == '.') {
    qualifier = std::string(text.substr(pos + 1));
  }
  return ORVVersion(major, minor, micro, std::move(qualifier));
}

std::string ORVVersion::description() const {
  std::string text = std::to_string(major_) + "." + std::to_string(minor_) + "." +
                     std::to_string(micro_);
  if (qualifier_) {
    text += ".";
    text += *qualifier_;
  }
  return text;
}

int ORVVersion::compare(const ORVVersion& other) const {
  const int32_t mine[] = {major_, minor_, micro_};
  const int32_t theirs[] = {other.major_, other.minor_, other.micro_};
  for (int i = 0; i < 3; ++i) {
    if (mine[i] < theirs[i]) return -1;
    if (mine[i] > theirs[i]) return 1;
  }
  return 0;
}

bool ORVVersion::isBetweenVersion(const ORVVersion& low, const ORVVersion& high) const {
  return compare(low) != -1 && compare(high) != 1;
}
