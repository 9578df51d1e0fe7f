#include "wire/ORVInputByteStream.h"

#include <unistd.h>

#include <cerrno>
#include <istream>

long ORVFdInputByteStream::read(uint8_t* buffer, size_t maxLength) {
  for (;;) {
    ssize_t n = ::read(fd_, buffer, maxLength);
    if (n < 0 && errno == EINTR) continue;
    return static_cast<long>(n);
  }
}

long ORVStdInputByteStream::read(uint8_t* buffer, size_t maxLength) {
  // readsome() may report 0 for streams without a buffered count; read()
  // blocks until maxLength bytes or the end, which suits a decoder that asks
  // for a whole buffer at a time.
  stream_.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(maxLength));
  std::streamsize n = stream_.gcount();
  if (n > 0) return static_cast<long>(n);
  return stream_.bad() ? -1 : 0;
}
