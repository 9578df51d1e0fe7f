#include "toolkit/image/ImageCache.h"

#include <gtest/gtest.h>

namespace orv::toolkit {
namespace {

QImage picture(int side, QRgb colour) {
  QImage image(side, side, QImage::Format_ARGB32);
  image.fill(colour);
  return image;
}

// 100 x 100 ARGB pictures cost 40000 bytes each; the cache holds three.
TEST(ImageCacheTest, EvictsLeastRecentlyUsedBeyondItsByteBound) {
  ImageCache cache(3 * 40000);
  ASSERT_TRUE(cache.insert("a", picture(100, qRgb(255, 0, 0))));
  ASSERT_TRUE(cache.insert("b", picture(100, qRgb(0, 255, 0))));
  ASSERT_TRUE(cache.insert("c", picture(100, qRgb(0, 0, 255))));
  EXPECT_EQ(cache.totalBytes(), 120000u);
  EXPECT_EQ(cache.object("a").pixel(0, 0), qRgb(255, 0, 0));  // "a" becomes the most recent

  ASSERT_TRUE(cache.insert("d", picture(100, qRgb(9, 9, 9))));
  EXPECT_FALSE(cache.contains("b"));
  EXPECT_TRUE(cache.contains("a"));
  EXPECT_TRUE(cache.contains("c"));
  EXPECT_TRUE(cache.contains("d"));
  EXPECT_EQ(cache.totalBytes(), 120000u);
  EXPECT_TRUE(cache.object("b").isNull());

  cache.setMaxBytes(40000);
  EXPECT_EQ(cache.count(), 1u);
  EXPECT_TRUE(cache.contains("d"));  // the most recently used one stays
}

TEST(ImageCacheTest, RefusesWhatAloneExceedsTheBound) {
  ImageCache cache(40000);
  EXPECT_TRUE(cache.insert("fits", picture(100, 0)));
  EXPECT_FALSE(cache.insert("big", picture(101, 0)));
  EXPECT_FALSE(cache.insert("null", QImage()));
  // A replacement too large for the cache drops the old entry of that URL.
  EXPECT_FALSE(cache.insert("fits", picture(101, 0)));
  EXPECT_FALSE(cache.contains("fits"));
  EXPECT_EQ(cache.totalBytes(), 0u);
  EXPECT_EQ(ImageCache::defaultCache()->maxBytes(), ImageCache::kDefaultMaxBytes);
  EXPECT_EQ(ImageCache::defaultCache(), ImageCache::defaultCache());
}

}  // namespace
}  // namespace orv::toolkit
