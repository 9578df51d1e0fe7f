#pragma once
// The one-line answers of the sign-in API: "<code>|<value>". The body must be
// UTF-8; line breaks (CR, LF) are trimmed at both ends, spaces are kept. The
// text is split at every "|": with fewer than two fields the answer counts as
// code "1" and value "" (a failure); further fields are ignored. Code "0" is
// success. A body that is not valid UTF-8 is a failure too.

#include <string>
#include <string_view>

namespace orv::store {

struct SignInAnswer {
  std::string text;  // the trimmed body ("" when it was not UTF-8)
  std::string code = "1";
  std::string value;

  bool isSuccess() const { return code == "0"; }

  static SignInAnswer parse(std::string_view body);
};

}  // namespace orv::store
