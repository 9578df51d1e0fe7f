// Pictures of the grid, the search, the table and a game page with their
// pictures loaded from the reference server's media, for review:
// docs/screenshots/grid.png, search.png, table.png, detail.png.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>

#include "server/app/ReferenceServer.h"
#include "store/records/DetailParameters.h"
#include "store/records/NavigationParameters.h"
#include "store/screens/GameDetailViewController.h"
#include "store/screens/GameGridViewController.h"
#include "store/screens/GameTableCell.h"
#include "store/screens/GameTableViewController.h"
#include "store/screens/GridGameCell2.h"
#include "store/screens/LazyCellView.h"
#include "store/screens/OtherGame.h"
#include "tests/store/screens/GameScreensSupport.h"
#include "toolkit/AlertView.h"
#include "toolkit/image/RemoteImageView.h"
#include "tests/support/ScreenshotFolder.h"

namespace {

using orv::store::Config;

std::unique_ptr<orv::test::LocalReferenceServer> gServer;

void navigate(const std::string& cmd, const std::string& id, const std::string& title) {
  orv::store::NavigationParameters{cmd, id, title}.write(*orv::SettingsStore::standard());
}

// Every picture view under `root` that has been asked for a picture shows one.
bool picturesLoaded(QWidget* root) {
  const auto views = root->findChildren<orv::toolkit::RemoteImageView*>();
  int shown = 0;
  for (auto* v : views) {
    if (!v->isVisibleTo(root)) continue;
    if (v->image().isNull()) return false;
    ++shown;
  }
  return shown > 0;
}

void save(QWidget* window, const char* name) {
  const auto dir = orv::test::screenshotFolder();
  const QPixmap shot = window->grab();
  ASSERT_FALSE(shot.isNull());
  ASSERT_TRUE(shot.save(QString::fromStdString((dir / name).string())));
}

class GameScreensScreenshots : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gServer);
    Config::setIsShowingDialogRegister(true);
    orv::toolkit::AlertView::discardAll();
    window_ = std::make_unique<orv::test::PhoneWindow>();
  }
  template <typename Screen>
  Screen* open() {
    auto* screen = window_->push(new Screen);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->nav->topViewController() == screen && screen->isAppearing(); }));
    return screen;
  }
  std::unique_ptr<orv::test::PhoneWindow> window_;
};

TEST_F(GameScreensScreenshots, Grid) {
  navigate("cnt.li", "1", "Hành động");
  auto* grid = open<orv::store::GameGridViewController>();
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->collectionView()->count() == 10; }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return picturesLoaded(grid); }, 10000));
  QTest::qWait(500);  // the cross-fade of the last pictures
  save(window_->nav, "grid.png");
}

TEST_F(GameScreensScreenshots, Search) {
  navigate("cnt.fin", "0", "");
  auto* grid = open<orv::store::GameGridViewController>();
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->searchBar() && grid->isAppearing(); }));
  QTest::keyClicks(grid->searchBar(), "chien");
  QTest::keyClick(grid->searchBar(), Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->collectionView()->count() > 0; }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return picturesLoaded(grid); }, 10000));
  QTest::qWait(500);
  save(window_->nav, "search.png");
}

TEST_F(GameScreensScreenshots, Table) {
  navigate("hm", "0", "Game mới");
  auto* table = open<orv::store::GameTableViewController>();
  ASSERT_TRUE(QTest::qWaitFor([&] { return table->banners().size() == 5 && table->model().games().size() == 10; }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return picturesLoaded(table); }, 10000));
  QTest::qWait(500);
  save(window_->nav, "table.png");
}

TEST_F(GameScreensScreenshots, Detail) {
  auto detail = gServer->server().catalogue()->gameDetail(5);
  ASSERT_TRUE(detail);
  orv::store::Game game;
  game.setId(5);
  game.setName(detail->game.title);
  game.setCode(detail->game.provider);
  game.setPartner(detail->game.partner);
  game.setPrice(detail->game.price);
  game.setIcon(detail->game.icon);
  game.setRatingTotal(detail->game.rating);
  game.setDownloadCount(detail->game.downloads);
  orv::store::DetailParameters::write(game);
  auto* page = open<orv::store::GameDetailViewController>();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page->model().hasDetail() && !page->otherGameViews().isEmpty(); }));
  ASSERT_TRUE(QTest::qWaitFor([&] { return picturesLoaded(page); }, 10000));
  QTest::qWait(500);
  save(window_->nav, "detail.png");
  page->sContent()->verticalScrollBar()->setValue(page->sContent()->verticalScrollBar()->maximum());
  QTest::qWait(100);
  save(window_->nav, "detail-related.png");
}

}  // namespace

int main(int argc, char** argv) {
  return orv::test::runScreenSuite(argc, argv, ORV_SOURCE_DIR, [] {
    gServer = orv::test::LocalReferenceServer::start();
    if (gServer) {
      const auto error = orv::test::connectStore(*gServer);
      if (!error.empty()) return 2;
    }
    const int result = RUN_ALL_TESTS();
    Config::sharedClient()->disconnect();
    gServer.reset();
    return result;
  });
}
