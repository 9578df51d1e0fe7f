#pragma once
// An error reported by the socket services: a domain, a code within it and a
// human-readable message; `reason` adds the failing call for system errors
// ("Error in connect() function").

#include <string>

struct ORVError {
  std::string domain;
  int code = 0;
  std::string message;
  std::string reason;

  // "<domain> <code>: <message>" — the form used in log lines.
  std::string description() const;
  bool operator==(const ORVError&) const = default;
};

// System call failures carry the error number in this domain.
inline constexpr const char* kORVPOSIXErrorDomain = "NSPOSIXErrorDomain";
// Host lookup failures carry the resolver's code in this domain.
inline constexpr const char* kORVNetDBErrorDomain = "kCFStreamErrorDomainNetDB";
