#include "toolkit/image/ImageDecoder.h"

#include <QBuffer>
#include <QImageReader>

namespace orv::toolkit {

bool ImageDecoder::acceptsSize(QSize size) {
  if (!size.isValid() || size.isEmpty()) return false;
  if (size.width() > kMaxSide || size.height() > kMaxSide) return false;
  return std::int64_t{size.width()} * size.height() * 4 <= kMaxDecodedBytes;
}

QImage ImageDecoder::decode(const QByteArray& bytes) {
  if (bytes.isEmpty()) return {};
  QByteArray data(bytes);  // shares, never copies: the buffer only reads
  QBuffer buffer(&data);
  if (!buffer.open(QIODevice::ReadOnly)) return {};
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  // Qt counts its limit in whole megabytes; the bound above is a multiple.
  reader.setAllocationLimit(static_cast<int>(kMaxDecodedBytes >> 20));
  if (!reader.canRead()) return {};
  const QSize announced = reader.size();
  // A format that cannot tell its size up front is left to Qt's allocation
  // limit; one that announces too large a picture is refused here.
  if (announced.isValid() && !acceptsSize(announced)) return {};
  QImage image;
  if (!reader.read(&image) || image.isNull()) return {};
  if (!acceptsSize(image.size())) return {};
  return image;
}

std::mutex& ImageDecoder::decodeLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace orv::toolkit
