#include "toolkit/image/ImageLoader.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/support/LocalReferenceServer.h"
#include "tests/toolkit/image/MediaGate.h"
#include "tests/toolkit/image/PictureBomb.h"
#include "toolkit/image/ImageCache.h"
#include "toolkit/image/ImageLoadNotificationCenter.h"
#include "toolkit/image/RemoteImageView.h"

namespace orv::toolkit {
namespace {

using orv::test::LocalReferenceServer;
using orv::test::MediaGate;

// A callback target that records what reaches it.
struct Target : QObject {
  std::vector<QUrl> loaded;
  std::vector<QImage> images;
  std::vector<std::pair<QUrl, ImageLoadError>> failed;
  ImageLoadAction action(const QByteArray& name = "setImage") {
    return {name, [this](const QImage& image, const QUrl& url) {
              loaded.push_back(url);
              images.push_back(image);
            }};
  }
  ImageLoadFailure failure() {
    return [this](const ImageLoadError& error, const QUrl& url) { failed.emplace_back(url, error); };
  }
};

QImage plain(const QImage& image) { return image.convertToFormat(QImage::Format_ARGB32); }

class ImageLoaderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = LocalReferenceServer::start().release();
    ASSERT_NE(server_, nullptr) << LocalReferenceServer::lastError();
    media_ = server_->folder() / "store.db.media";
    std::filesystem::create_directories(media_ / "extra");
    std::ofstream(media_ / "extra/readme.png") << "<html><body>this is no picture</body></html>";
    const QByteArray bomb = orv::test::pictureBomb(50000, 50000);
    std::ofstream(media_ / "extra/bomb.png", std::ios::binary).write(bomb.constData(), bomb.size());
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    gate_ = std::make_unique<MediaGate>(server_->httpPort());
    loader_ = std::make_unique<ImageLoader>();
    loader_->setCache(std::make_shared<ImageCache>());
  }
  void TearDown() override {
    gate_->releaseAll();
    loader_.reset();
    gate_.reset();
  }

  // Real picture names of the seeded media folder ("icons/1.png", ...).
  static std::vector<std::string> pictures(const std::string& folder, std::size_t count) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(media_ / folder)) {
      names.push_back(folder + "/" + entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    names.resize(std::min(count, names.size()));
    return names;
  }
  QUrl url(const std::string& path) const { return QUrl(QString::fromStdString(gate_->base() + "/media/" + path)); }
  static std::string at(const std::string& path) { return "/media/" + path; }
  static QImage onDisk(const std::string& path) { return plain(QImage(QString::fromStdString((media_ / path).string()))); }

  static LocalReferenceServer* server_;
  static std::filesystem::path media_;
  std::unique_ptr<MediaGate> gate_;
  std::unique_ptr<ImageLoader> loader_;
};

LocalReferenceServer* ImageLoaderTest::server_ = nullptr;
std::filesystem::path ImageLoaderTest::media_;

TEST_F(ImageLoaderTest, RunsTwoDownloadsAtOnceAndNewRequestsOvertakeWaitingOnes) {
  const auto names = pictures("icons", 5);
  ASSERT_EQ(names.size(), 5u);
  gate_->holdEverything();
  Target targets[5];
  for (int i = 0; i < 5; ++i) loader_->loadImage(url(names[i]), &targets[i], targets[i].action());

  ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->requests().size() == 2; }));
  auto firstTwo = gate_->requests();  // sent together: either may arrive first
  std::sort(firstTwo.begin(), firstTwo.end());
  EXPECT_EQ(firstTwo, (std::vector<std::string>{at(names[0]), at(names[1])}));
  // Running ones stay in front; the later requests went ahead of earlier waiting ones.
  std::vector<QUrl> queue;
  for (const auto& c : loader_->connections()) queue.push_back(c->URL());
  EXPECT_EQ(queue, (std::vector<QUrl>{url(names[0]), url(names[1]), url(names[4]), url(names[3]), url(names[2])}));

  gate_->release(at(names[0]));
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->requests().size() == 3; }));
  EXPECT_EQ(gate_->requests()[2], at(names[4]));
  ASSERT_TRUE(QTest::qWaitFor([&] { return targets[0].loaded.size() == 1; }));
  gate_->release(at(names[1]));
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->requests().size() == 4; }));
  EXPECT_EQ(gate_->requests()[3], at(names[3]));

  gate_->releaseAll();
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return std::all_of(std::begin(targets), std::end(targets), [](const Target& t) { return t.loaded.size() == 1; });
  }));
  EXPECT_LE(gate_->maxInFlight(), 2);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(gate_->count(at(names[i])), 1u) << names[i];
    EXPECT_EQ(targets[i].loaded[0], url(names[i]));
    EXPECT_EQ(plain(targets[i].images[0]), onDisk(names[i])) << names[i];
  }
  EXPECT_TRUE(loader_->connections().empty());
  EXPECT_EQ(loader_->cache()->count(), 5u);
}

TEST_F(ImageLoaderTest, OneDownloadServesEveryViewWaitingOnTheURL) {
  const std::string name = pictures("banners", 1).at(0);
  gate_->hold(at(name));
  QSignalSpy posted(&ImageLoadNotificationCenter::defaultCenter(), &ImageLoadNotificationCenter::notified);
  RemoteImageView first, second;
  first.setLoader(*loader_);
  second.setLoader(*loader_);
  first.setImageURL(url(name));
  second.setImageURL(url(name));
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->requests().size() == 1; }));
  EXPECT_EQ(second.imageURL(), url(name));
  ASSERT_NE(second.activityView(), nullptr);
  EXPECT_FALSE(second.activityView()->isHidden());

  gate_->release(at(name));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !first.image().isNull() && !second.image().isNull(); }));
  EXPECT_EQ(gate_->count(at(name)), 1u);
  EXPECT_EQ(plain(first.image()), onDisk(name));
  EXPECT_EQ(plain(second.image()), onDisk(name));
  EXPECT_TRUE(second.activityView()->isHidden());
  EXPECT_FALSE(second.imageURL().has_value());

  int finished = 0;
  for (const auto& args : posted) {
    if (args.at(0).toString() != "ImageLoadDidFinish") continue;
    ++finished;
    const auto info = args.at(2).toMap();
    EXPECT_EQ(args.at(1).value<QObject*>(), &first);
    EXPECT_EQ(info.value("URL").toUrl(), url(name));
    EXPECT_EQ(plain(info.value("image").value<QImage>()), onDisk(name));
    EXPECT_EQ(info.value("cache").value<std::shared_ptr<ImageCache>>(), loader_->cache());
  }
  EXPECT_EQ(finished, 1);
}

TEST_F(ImageLoaderTest, TheNewestRequestOfAViewWinsInEitherArrivalOrder) {
  const auto icons = pictures("icons", 2);
  const auto banners = pictures("banners", 2);
  for (const bool olderArrivesFirst : {true, false}) {
    SCOPED_TRACE(olderArrivesFirst ? "A arrives first" : "B arrives first");
    const int round = olderArrivesFirst ? 0 : 1;
    const std::string a = icons[round], b = banners[round];
    gate_->hold(at(a));
    gate_->hold(at(b));
    RemoteImageView view;
    view.setLoader(*loader_);
    view.setImageURL(url(a));
    view.setImageURL(url(b));
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->count(at(a)) == 1 && gate_->count(at(b)) == 1; }));

    if (olderArrivesFirst) {
      gate_->release(at(a));
      ASSERT_TRUE(QTest::qWaitFor([&] { return !view.image().isNull(); }));
      EXPECT_EQ(plain(view.image()), onDisk(a));  // shown, then replaced
      EXPECT_EQ(view.imageURL(), url(b));
      gate_->release(at(b));
      ASSERT_TRUE(QTest::qWaitFor([&] { return plain(view.image()) == onDisk(b); }));
    } else {
      gate_->release(at(b));
      ASSERT_TRUE(QTest::qWaitFor([&] { return !view.image().isNull(); }));
      EXPECT_EQ(plain(view.image()), onDisk(b));
      EXPECT_TRUE(loader_->connections().empty());  // A's load was cancelled and dropped
      const std::size_t answeredBefore = gate_->answered();
      gate_->release(at(a));
      ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->answered() > answeredBefore; }));
      // A later picture through the same loader: anything of A's would be
      // delivered before it.
      Target later;
      loader_->loadImage(url(icons[0]), &later, later.action());
      ASSERT_TRUE(QTest::qWaitFor([&] { return later.loaded.size() == 1; }));
      EXPECT_EQ(plain(view.image()), onDisk(b));
      EXPECT_FALSE(loader_->cache()->contains(url(a).toString(QUrl::FullyEncoded)));
    }
  }
}

TEST_F(ImageLoaderTest, FailuresSayWhyToEveryRequestOfTheURL) {
  Target target, other;
  QSignalSpy posted(&ImageLoadNotificationCenter::defaultCenter(), &ImageLoadNotificationCenter::notified);
  for (const char* name : {"extra/readme.png", "extra/bomb.png", "extra/missing.png"}) {
    loader_->loadImage(url(name), &target, target.action(), target.failure());
  }
  loader_->loadImage(url("extra/bomb.png"), &other, other.action(), other.failure());
  ASSERT_TRUE(QTest::qWaitFor([&] { return target.failed.size() == 3 && other.failed.size() == 1; }));
  EXPECT_TRUE(target.loaded.empty());
  for (const auto& [failedUrl, error] : target.failed) {
    if (failedUrl == url("extra/missing.png")) {
      EXPECT_EQ(error.domain, "HttpClient");
      EXPECT_EQ(error.code, 404);
      EXPECT_EQ(error.description, "HTTP status 404");
    } else {
      EXPECT_EQ(error.domain, "ImageLoader") << failedUrl.toString().toStdString();
      EXPECT_EQ(error.code, 0);
      EXPECT_EQ(error.description, "Invalid image data");
    }
  }
  EXPECT_EQ(other.failed[0].second.description, "Invalid image data");
  EXPECT_EQ(gate_->count(at("extra/bomb.png")), 1u);
  int failNotices = 0;
  for (const auto& args : posted) {
    if (args.at(0).toString() != "ImageLoadDidFail") continue;
    ++failNotices;
    EXPECT_TRUE(args.at(2).toMap().contains("URL"));
    EXPECT_FALSE(args.at(2).toMap().value("error").value<ImageLoadError>().description.isEmpty());
  }
  EXPECT_EQ(failNotices, 3);
  EXPECT_TRUE(loader_->connections().empty());
  EXPECT_EQ(loader_->cache()->count(), 0u);
}

TEST_F(ImageLoaderTest, ACachedURLIsAnsweredOnTheNextTurnWithoutADownload) {
  const std::string name = pictures("gallery", 1).at(0);
  Target first, second;
  loader_->loadImage(url(name), &first, first.action());
  ASSERT_TRUE(QTest::qWaitFor([&] { return first.loaded.size() == 1; }));

  loader_->loadImage(url(name), &second, second.action());
  EXPECT_TRUE(second.loaded.empty());  // never inside the call
  EXPECT_TRUE(loader_->connections().empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(second.loaded.size(), 1u);
  EXPECT_EQ(plain(second.images[0]), onDisk(name));
  EXPECT_EQ(gate_->count(at(name)), 1u);
}

TEST_F(ImageLoaderTest, ADestroyedTargetGetsNoCallbackAndItsTransferStops) {
  const auto names = pictures("icons", 2);
  gate_->holdEverything();
  QSignalSpy posted(&ImageLoadNotificationCenter::defaultCenter(), &ImageLoadNotificationCenter::notified);
  auto* view = new RemoteImageView;
  view->setLoader(*loader_);
  view->setImageURL(url(names[0]));
  auto* target = new Target;
  const void* targetAddress = target;
  loader_->loadImage(url(names[1]), target, target->action(), target->failure());
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->requests().size() == 2; }));

  delete view;
  delete target;
  EXPECT_TRUE(loader_->connections().empty());
  EXPECT_TRUE(std::any_of(posted.begin(), posted.end(), [&](const QList<QVariant>& args) {
    return args.at(0).toString() == "ImageTargetReleased" && args.at(1).value<QObject*>() == targetAddress;
  }));

  gate_->releaseAll();
  ASSERT_TRUE(QTest::qWaitFor([&] { return gate_->answered() == 2; }));
  // Asked again, the pictures are downloaded again: the first transfers
  // were dropped, nothing reached the cache or the destroyed targets.
  Target again;
  for (const auto& name : names) loader_->loadImage(url(name), &again, again.action("again" + QByteArray::fromStdString(name)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return again.loaded.size() == 2; }));
  for (const auto& name : names) EXPECT_EQ(gate_->count(at(name)), 2u);
}

TEST_F(ImageLoaderTest, CancelFormsMatchURLTargetAndAction) {
  loader_->setConcurrentLoads(0);  // nothing starts: the queue alone
  Target a, b;
  const QUrl u1 = url("icons/u1.png"), u2 = url("icons/u2.png"), u3 = url("icons/u3.png");
  loader_->loadImage(u1, &a, a.action("setImage"));
  loader_->loadImage(u2, &a, a.action("setIcon"));
  loader_->loadImage(u3, &b, b.action("setImage"));
  loader_->loadImage(u1, &b, b.action("setImage"), b.failure());
  ASSERT_EQ(loader_->connections().size(), 4u);
  EXPECT_EQ(loader_->URLForTarget(&a), u1);  // the last queued, from the back
  EXPECT_EQ(loader_->URLForTarget(&a, "setIcon"), u2);
  EXPECT_EQ(loader_->URLForTarget(&b, "setIcon"), std::nullopt);

  loader_->cancelLoadingImagesForTarget(&b);
  EXPECT_EQ(loader_->connections().size(), 4u);
  EXPECT_EQ(std::count_if(loader_->connections().begin(), loader_->connections().end(),
                          [](const auto& c) { return c->isCancelled(); }),
            2);
  loader_->cancelLoadingURL(u1, &a, "setIcon");
  EXPECT_EQ(loader_->connections().size(), 4u);
  loader_->cancelLoadingURL(u1, &a, "setImage");
  EXPECT_EQ(loader_->URLForTarget(&a), u2);
  loader_->cancelLoadingURL(u3, &b);
  loader_->cancelLoadingURL(u2);
  ASSERT_EQ(loader_->connections().size(), 1u);
  EXPECT_EQ(loader_->URLForTarget(&b), u1);

  // A cancelled connection that was waiting starts again on the next pass.
  loader_->setConcurrentLoads(2);
  loader_->updateQueue();
  EXPECT_FALSE(loader_->connections()[0]->isCancelled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return b.failed.size() == 1; }));
  EXPECT_EQ(gate_->count(at("icons/u1.png")), 1u);
  EXPECT_EQ(b.failed[0].second.code, 404);
}

TEST_F(ImageLoaderTest, ALoadOverItsTimeoutFails) {
  const std::string name = pictures("icons", 1).at(0);
  gate_->hold(at(name));
  loader_->setLoadingTimeout(0.3);
  Target target;
  loader_->loadImage(url(name), &target, target.action(), target.failure());
  ASSERT_TRUE(QTest::qWaitFor([&] { return target.failed.size() == 1; }, 5000));
  EXPECT_EQ(target.failed[0].second.domain, "HttpClient");
  EXPECT_TRUE(target.loaded.empty());
  EXPECT_TRUE(loader_->connections().empty());
}

TEST_F(ImageLoaderTest, ResourceFilesAreReadButNeverCached) {
  QTemporaryDir resources, elsewhere;
  QImage red(40, 20, QImage::Format_ARGB32);
  red.fill(qRgb(220, 30, 30));
  ASSERT_TRUE(red.save(resources.filePath("red.png")));
  ASSERT_TRUE(QDir(elsewhere.path()).mkdir("sub"));
  ASSERT_TRUE(red.save(elsewhere.filePath("sub/red.png")));
  ImageLoadConnection::setResourceDirectory(resources.path());

  Target target;
  const QUrl inside = QUrl::fromLocalFile(resources.filePath("red.png"));
  // "..": the path leaves the resource folder, so it is an ordinary file.
  const QUrl escaping = QUrl::fromLocalFile(resources.path() + "/../" + QDir(elsewhere.path()).dirName() + "/sub/red.png");
  EXPECT_TRUE(ImageLoadConnection::isResourceURL(inside));
  EXPECT_TRUE(ImageLoadConnection::isResourceURL(QUrl("qrc:/icons/ic-home.svg")));
  EXPECT_FALSE(ImageLoadConnection::isResourceURL(QUrl::fromLocalFile(elsewhere.filePath("sub/red.png"))));
  EXPECT_FALSE(ImageLoadConnection::isResourceURL(escaping));
  loader_->loadImage(inside, &target, target.action("resource"));
  loader_->loadImage(QUrl::fromLocalFile(elsewhere.filePath("sub/red.png")), &target, target.action("file"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return target.loaded.size() == 2; }));
  ImageLoadConnection::setResourceDirectory({});
  for (const auto& image : target.images) EXPECT_EQ(plain(image), plain(red));
  EXPECT_FALSE(loader_->cache()->contains(inside.toString(QUrl::FullyEncoded)));
  EXPECT_EQ(loader_->cache()->count(), 1u);
}

}  // namespace
}  // namespace orv::toolkit
