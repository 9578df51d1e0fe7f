#include "wire/ORVMD5.h"

#include <openssl/evp.h>

#include <stdexcept>

#include "wire/ORVHex.h"

std::string orv_md5Hash(std::string_view text) {
  const size_t zero = text.find('\0');
  if (zero != std::string_view::npos) text = text.substr(0, zero);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(text.data(), text.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    // Only fails when libcrypto cannot provide MD5 at all: a broken install.
    throw std::runtime_error("MD5 digest unavailable");
  }
  return orv_hexString(std::span<const uint8_t>(digest, length));
}
