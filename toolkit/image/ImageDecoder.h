#pragma once
// Turns the bytes of a picture into an image with Qt's image readers, refusing
// pictures whose decoded form would be too large.
//
// A few kilobytes of PNG or GIF can announce a picture of 50000 x 50000 pixels
// (10 GB decoded); such a "picture bomb" is refused from its header, before
// any pixel memory is taken, and reported like any other undecodable data.
// Qt's own allocation limit is set to the same bound as a second guard for
// formats whose size is known only while decoding.
//
// Threads: decode() is reentrant. decodeLock() is the one lock under which the
// image loader runs every decode of the process, one at a time.

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <mutex>

namespace orv::toolkit {

class ImageDecoder {
 public:
  // Decoded size bound, counted at 4 bytes per pixel whatever the format:
  // 4096 x 2048 pixels. Screen-wide banners on the densest phone screens
  // (1242 px wide) stay far below it.
  static constexpr std::int64_t kMaxDecodedBytes = std::int64_t{32} << 20;
  // No side may exceed this, whatever the other one is.
  static constexpr int kMaxSide = 8192;

  // Null image when the bytes are no picture Qt can read, or when the
  // picture's decoded size is over the bounds above.
  static QImage decode(const QByteArray& bytes);
  // Whether a picture of this size may be decoded.
  static bool acceptsSize(QSize size);

  static std::mutex& decodeLock();
};

}  // namespace orv::toolkit
