#include "toolkit/image/ImageDecoder.h"

#include <QBuffer>

#include <gtest/gtest.h>

#include "tests/toolkit/image/PictureBomb.h"

namespace orv::toolkit {
namespace {

QByteArray png(int width, int height, QRgb colour = qRgb(200, 40, 40)) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

TEST(ImageDecoderTest, DecodesPicturesUpToTheBoundAndNotPastIt) {
  const QImage small = ImageDecoder::decode(png(64, 32));
  ASSERT_FALSE(small.isNull());
  EXPECT_EQ(small.size(), QSize(64, 32));
  EXPECT_EQ(small.pixel(10, 10), qRgb(200, 40, 40));

  // 4096 x 2048 x 4 bytes is exactly the bound.
  EXPECT_EQ(ImageDecoder::decode(png(4096, 2048)).size(), QSize(4096, 2048));
  EXPECT_TRUE(ImageDecoder::decode(png(4096, 2049)).isNull());
  EXPECT_TRUE(ImageDecoder::decode(png(ImageDecoder::kMaxSide + 1, 1)).isNull());
  EXPECT_FALSE(ImageDecoder::decode(png(ImageDecoder::kMaxSide, 1)).isNull());
}

TEST(ImageDecoderTest, RefusesBombsAndDataThatIsNoPicture) {
  EXPECT_TRUE(ImageDecoder::decode(orv::test::pictureBomb(50000, 50000)).isNull());
  EXPECT_TRUE(ImageDecoder::decode(orv::test::pictureBomb(4096, 2049)).isNull());
  EXPECT_TRUE(ImageDecoder::decode("<html><body>not found</body></html>").isNull());
  EXPECT_TRUE(ImageDecoder::decode({}).isNull());
}

}  // namespace
}  // namespace orv::toolkit
