#include "store/session/SignInAnswer.h"

#include "wire/ORVUtf8.h"

namespace orv::store {

SignInAnswer SignInAnswer::parse(std::string_view body) {
  SignInAnswer answer;
  if (!ORVIsValidUtf8(reinterpret_cast<const uint8_t*>(body.data()), body.size())) return answer;
  auto isBreak = [](char c) { return c == '\r' || c == '\n'; };
  while (!body.empty() && isBreak(body.front())) body.remove_prefix(1);
  while (!body.empty() && isBreak(body.back())) body.remove_suffix(1);
  answer.text = std::string(body);
  const size_t bar = body.find('|');
  if (bar == std::string_view::npos) return answer;
  const std::string_view rest = body.substr(bar + 1);
  answer.code = std::string(body.substr(0, bar));
  answer.value = std::string(rest.substr(0, rest.find('|')));
  return answer;
}

}  // namespace orv::store
