#include "toolkit/image/RemoteImageView.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "toolkit/image/ImageCache.h"
#include "toolkit/image/ImageLoader.h"

namespace orv::toolkit {
namespace {

// Views shown on the offscreen screen, loading pictures from files through a
// loader of their own.
class RemoteImageViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    loader_.setCache(std::make_shared<ImageCache>());
    QImage wide(200, 100, QImage::Format_RGB32);
    wide.fill(qRgb(230, 40, 40));
    ASSERT_TRUE(wide.save(folder_.filePath("wide.png")));
    QImage blue(50, 50, QImage::Format_RGB32);
    blue.fill(qRgb(20, 60, 220));
    ASSERT_TRUE(blue.save(folder_.filePath("blue.png")));
  }
  QUrl file(const QString& name) const { return QUrl::fromLocalFile(folder_.filePath(name)); }

  QTemporaryDir folder_;
  ImageLoader loader_;
};

TEST_F(RemoteImageViewTest, SpinsWhileLoadingThenFadesThePictureIn) {
  RemoteImageView view;
  view.setLoader(loader_);
  view.resize(100, 100);
  view.show();
  EXPECT_TRUE(view.showActivityIndicator());
  EXPECT_EQ(view.activityView(), nullptr);  // created on first need

  view.setImageURL(file("wide.png"));
  ASSERT_NE(view.activityView(), nullptr);
  EXPECT_TRUE(view.activityView()->isVisible());
  EXPECT_EQ(view.activityView()->geometry().center(), view.rect().center());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view.image().isNull(); }));
  EXPECT_FALSE(view.activityView()->isVisible());
  EXPECT_TRUE(view.isCrossfading());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !view.isCrossfading(); }));

  // Aspect fit: a 2:1 picture in a square leaves bands above and below.
  QImage shot = view.grab().toImage();
  EXPECT_EQ(shot.pixelColor(50, 50), QColor(230, 40, 40));
  EXPECT_NE(shot.pixelColor(50, 5), QColor(230, 40, 40));
  view.setContentMode(RemoteImageView::ContentMode::AspectFill);
  shot = view.grab().toImage();
  EXPECT_EQ(shot.pixelColor(50, 5), QColor(230, 40, 40));
  EXPECT_EQ(shot.pixelColor(2, 97), QColor(230, 40, 40));

  // A second picture replaces the first; no spinner over a shown picture.
  view.setImageURL(file("blue.png"));
  EXPECT_FALSE(view.activityView()->isVisible());
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.image().pixelColor(0, 0) == QColor(20, 60, 220); }));
}

TEST_F(RemoteImageViewTest, AViewMadeWithAPictureShowsNoSpinnerAndEmptyURLsShowNone) {
  QImage start(10, 10, QImage::Format_RGB32);
  start.fill(Qt::black);
  RemoteImageView view(start);
  view.setLoader(loader_);
  EXPECT_FALSE(view.showActivityIndicator());
  view.setImageURL(file("blue.png"));
  EXPECT_EQ(view.activityView(), nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return view.image().size() == QSize(50, 50); }));

  // An empty URL completes with no picture.
  RemoteImageView empty;
  empty.setLoader(loader_);
  empty.setImageURL(QUrl());
  EXPECT_EQ(empty.activityView(), nullptr);
  bool changed = false;
  QObject::connect(&empty, &RemoteImageView::imageChanged, [&] { changed = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return changed; }));
  EXPECT_TRUE(empty.image().isNull());
  EXPECT_TRUE(loader_.connections().empty());
}

}  // namespace
}  // namespace orv::toolkit
