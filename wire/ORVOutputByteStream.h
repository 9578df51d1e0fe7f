#pragma once
// A sink of bytes for the byte-stream mode of ORVCodedOutputStream, with
// adapters for a file descriptor and for std::ostream.

#include <cstddef>
#include <cstdint>
#include <iosfwd>

class ORVOutputByteStream {
 public:
  virtual ~ORVOutputByteStream() = default;
  // Writes up to length bytes; returns the count written, 0 or negative when
  // nothing could be written.
  virtual long write(const uint8_t* bytes, size_t length) = 0;
  // Writes all bytes, retrying after partial writes; false when the sink stops
  // accepting them.
  bool writeAll(const uint8_t* bytes, size_t length);
};

// Writes to a file descriptor that the caller owns (it is not closed here).
class ORVFdOutputByteStream final : public ORVOutputByteStream {
 public:
  explicit ORVFdOutputByteStream(int fd) : fd_(fd) {}
  long write(const uint8_t* bytes, size_t length) override;

 private:
  int fd_;
};

class ORVStdOutputByteStream final : public ORVOutputByteStream {
 public:
  explicit ORVStdOutputByteStream(std::ostream& stream) : stream_(stream) {}
  long write(const uint8_t* bytes, size_t length) override;

 private:
  std::ostream& stream_;
};
