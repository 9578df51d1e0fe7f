#pragma once
// MD5 digest (RFC 1321) of a string as 32 lower-case hex digits.

#include <string>
#include <string_view>

// Digests the UTF-8 bytes up to, not including, the first zero byte, as the
// C-string digest callers compare against does.
std::string orv_md5Hash(std::string_view text);
