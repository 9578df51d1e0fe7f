#include "store/util/MyUtils.h"

#include <openssl/evp.h>

#include "platform/Log.h"
#include "platform/SettingsStore.h"
#include "platform/StringsTable.h"

namespace orv::store {

std::string MyUtils::formatLog(int level, std::string_view tag, std::string_view message) {
  std::string line(tag);
  switch (level) {
    case kError:
      line += " error:";
      break;
    case kDebug:
      line += " debug:";
      break;
    case kInfo:
      line += " info:";
      break;
    default:
      break;
  }
  line += ' ';
  line += message;
  return line;
}

void MyUtils::log(int level, std::string_view tag, std::string_view message) {
  if constexpr (kLoggingEnabled) orv::log("MyUtils::log", formatLog(level, tag, message));
}

std::string MyUtils::stringToPrice(std::string_view price) {
  if (price.empty() || price == "0") return localizedString("free");
  return std::string(price) + "VND";
}

std::string MyUtils::md5(std::string_view text) {
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 0x0F];
  }
  return out;
}

std::string MyUtils::int32ToString(int32_t value) { return std::to_string(value); }

std::string MyUtils::int64ToString(int64_t value) { return std::to_string(value); }

std::optional<std::string> MyUtils::getSetting(std::string_view key) { return SettingsStore::standard()->get(key); }

void MyUtils::setSetting(std::string_view key, std::string_view value) { SettingsStore::standard()->set(key, value); }

}  // namespace orv::store
