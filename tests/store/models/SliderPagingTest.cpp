#include "store/models/SliderPaging.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "store/models/StarRating.h"
#include "store/models/SubscriptionOffer.h"

using orv::store::SliderPaging;
using orv::store::StarRating;
using orv::store::SubscriptionOffer;

TEST(SliderPagingTest, TimerWalksThePagesAndWraps) {
  const double content = SliderPaging::contentWidth(3);
  double x = 0;
  std::vector<double> seen;
  for (int i = 0; i < 4; ++i) {
    x = SliderPaging::nextOffset(x, content);
    seen.push_back(x);
  }
  EXPECT_EQ(seen, (std::vector<double>{320, 640, 0, 320}));
  // Between pages (a user drag): one page on, truncated to whole points.
  EXPECT_EQ(SliderPaging::nextOffset(100.7, content), 420.0);
  EXPECT_EQ(SliderPaging::nextOffset(650, content), 0.0);
  // A single banner stays where it is.
  EXPECT_EQ(SliderPaging::nextOffset(0, SliderPaging::contentWidth(1)), 0.0);
}

TEST(SliderPagingTest, IndicatorShowsTheNearestPage) {
  EXPECT_EQ(SliderPaging::pageForOffset(0), 0);
  EXPECT_EQ(SliderPaging::pageForOffset(159), 0);
  EXPECT_EQ(SliderPaging::pageForOffset(160), 1);
  EXPECT_EQ(SliderPaging::pageForOffset(640), 2);
  EXPECT_EQ(SliderPaging::pageForOffset(100, 0), 0);
  EXPECT_EQ(SliderPaging::pageForOffset(std::nan("")), 0);
}

TEST(StarRatingTest, StarsShownByRating) {
  EXPECT_EQ(StarRating::visibleStars(4.5), 5);
  EXPECT_EQ(StarRating::visibleStars(3.2), 4);
  EXPECT_EQ(StarRating::visibleStars(3.0), 3);
  EXPECT_EQ(StarRating::visibleStars(0.1), 1);
  EXPECT_EQ(StarRating::visibleStars(0), 0);
  EXPECT_EQ(StarRating::visibleStars(-2), 0);
  EXPECT_EQ(StarRating::visibleStars(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_TRUE(StarRating::isStarVisible(4, 3.2));
  EXPECT_FALSE(StarRating::isStarVisible(5, 3.2));
}

TEST(SubscriptionOfferTest, OncePerRunAndButtonsByStatus) {
  bool decided = false;
  const auto first = SubscriptionOffer::takeOnce(decided, 99, "Quý khách chưa đăng ký");
  ASSERT_TRUE(first);
  EXPECT_TRUE(decided);
  EXPECT_EQ(first->tag, 996);
  EXPECT_EQ(first->text, "Quý khách chưa đăng ký");
  EXPECT_EQ(first->button0, "Bỏ qua");
  EXPECT_EQ(first->button1, "Đăng ký");
  EXPECT_FALSE(SubscriptionOffer::takeOnce(decided, 99, "x"));

  EXPECT_EQ(SubscriptionOffer::forStatus(98, "")->button1, "Gia hạn");
  // The first screen decides for the run even when it shows nothing.
  bool subscribed = false;
  EXPECT_FALSE(SubscriptionOffer::takeOnce(subscribed, 1, "x"));
  EXPECT_TRUE(subscribed);
  EXPECT_FALSE(SubscriptionOffer::takeOnce(subscribed, 99, "x"));
}
