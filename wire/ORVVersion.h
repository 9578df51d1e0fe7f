#pragma once
// A major.minor.micro version with an optional qualifier ("1.2.3.beta"),
// parsed leniently from text, printed and compared by its three numbers.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class ORVVersion {
 public:
  ORVVersion(int32_t major, int32_t minor, int32_t micro,
             std::optional<std::string> qualifier = std::nullopt);

  // Never fails: missing numbers read as 0, the parse stops at the first
  // character that does not fit. A digit run too long for 32 bits saturates
  // at INT32_MAX instead of wrapping into a negative number.
  static ORVVersion versionWithString(std::string_view text);

  int32_t major() const { return major_; }
  int32_t minor() const { return minor_; }
  int32_t micro() const { return micro_; }
  const std::optional<std::string>& qualifier() const { return qualifier_; }

  // "1.2.3", or "1.2.3.<qualifier>" when a qualifier is present (even empty).
  std::string description() const;

  // -1, 0 or +1 comparing major, then minor, then micro; the qualifier is
  // deliberately ignored, so 1.2.3.beta and 1.2.3 are the same version.
  int compare(const ORVVersion& other) const;

  // Both ends included.
  bool isBetweenVersion(const ORVVersion& low, const ORVVersion& high) const;

 private:
  int32_t major_;
  int32_t minor_;
  int32_t micro_;
  std::optional<std::string> qualifier_;
};
