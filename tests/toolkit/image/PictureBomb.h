#pragma once
// A PNG file of a few dozen bytes that announces a huge picture: a valid
// header and one tiny data chunk. Decoding it whole would take
// width x height x 4 bytes.

#include <QByteArray>
#include <QtEndian>

#include <cstdint>

namespace orv::test {

inline std::uint32_t pngCrc(const QByteArray& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char ch : bytes) {
    crc ^= static_cast<std::uint8_t>(ch);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc ^ 0xFFFFFFFFu;
}

inline QByteArray pngChunk(const char* type, const QByteArray& data) {
  QByteArray body(type, 4);
  body += data;
  QByteArray out(4, '\0');
  qToBigEndian<std::uint32_t>(static_cast<std::uint32_t>(data.size()), out.data());
  out += body;
  QByteArray crc(4, '\0');
  qToBigEndian<std::uint32_t>(pngCrc(body), crc.data());
  return out + crc;
}

inline QByteArray pictureBomb(std::uint32_t width, std::uint32_t height) {
  QByteArray header(13, '\0');
  qToBigEndian<std::uint32_t>(width, header.data());
  qToBigEndian<std::uint32_t>(height, header.data() + 4);
  header[8] = 8;  // bit depth
  header[9] = 6;  // RGBA
  // zlib stream of one empty stored block: valid, but far too short.
  const QByteArray idat = QByteArray::fromHex("7801010000ffff00000001");
  return QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", header) + pngChunk("IDAT", idat) +
         pngChunk("IEND", {});
}

}  // namespace orv::test
