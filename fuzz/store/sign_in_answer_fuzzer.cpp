// The sign-in API's one-line answers: any bytes parse without a fault, and a
// success always came from a UTF-8 body whose trimmed text starts with "0|"
// and holds the value right after it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/session/SignInAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const orv::store::SignInAnswer answer = orv::store::SignInAnswer::parse(body);
  if (answer.isSuccess()) {
    if (answer.text.substr(0, 2) != "0|") std::abort();
    if (answer.text.substr(2, answer.value.size()) != answer.value) std::abort();
  }
  if (!answer.text.empty() && (answer.text.front() == '\n' || answer.text.back() == '\r')) std::abort();
  return 0;
}
