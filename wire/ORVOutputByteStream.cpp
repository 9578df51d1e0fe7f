#include "wire/ORVOutputByteStream.h"

#include <unistd.h>

#include <cerrno>
#include <ostream>

bool ORVOutputByteStream::writeAll(const uint8_t* bytes, size_t length) {
  while (length > 0) {
    long written = write(bytes, length);
    if (written <= 0) return false;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

long ORVFdOutputByteStream::write(const uint8_t* bytes, size_t length) {
  for (;;) {
    ssize_t n = ::write(fd_, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    return static_cast<long>(n);
  }
}

long ORVStdOutputByteStream::write(const uint8_t* bytes, size_t length) {
  stream_.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(length));
  return stream_ ? static_cast<long>(length) : -1;
}
