#pragma once
// A source of bytes for the byte-stream mode of ORVCodedInputStream, with
// adapters for a file descriptor and for std::istream.

#include <cstddef>
#include <cstdint>
#include <iosfwd>

class ORVInputByteStream {
 public:
  virtual ~ORVInputByteStream() = default;
  // Fills up to maxLength bytes; returns the count read, 0 at the end, and a
  // negative number on error.
  virtual long read(uint8_t* buffer, size_t maxLength) = 0;
};

// Reads from a file descriptor that the caller owns (it is not closed here).
class ORVFdInputByteStream final : public ORVInputByteStream {
 public:
  explicit ORVFdInputByteStream(int fd) : fd_(fd) {}
  long read(uint8_t* buffer, size_t maxLength) override;

 private:
  int fd_;
};

class ORVStdInputByteStream final : public ORVInputByteStream {
 public:
  explicit ORVStdInputByteStream(std::istream& stream) : stream_(stream) {}
  long read(uint8_t* buffer, size_t maxLength) override;

 private:
  std::istream& stream_;
};
