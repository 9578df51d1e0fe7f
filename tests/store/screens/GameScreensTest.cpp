// The grid, the table and the game page on the offscreen platform against
// the reference server: what the server received, what the screens show,
// with real clicks, keys and scrolling.

#include "store/screens/GameGridViewController.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextEdit>

#include "platform/Application.h"
#include "server/app/ReferenceServer.h"
#include "store/records/DetailParameters.h"
#include "store/records/NavigationParameters.h"
#include "store/screens/GameDetailViewController.h"
#include "store/screens/GameTableCell.h"
#include "store/screens/GameTableViewController.h"
#include "store/screens/GridGameCell2.h"
#include "store/screens/LazyCellView.h"
#include "store/screens/LoginViewController2.h"
#include "store/screens/OtherGame.h"
#include "store/screens/RatingStars.h"
#include "store/screens/ShareSheet.h"
#include "tests/store/screens/GameScreensSupport.h"
#include "toolkit/AlertView.h"
#include "toolkit/image/RemoteImageView.h"

namespace {

using namespace std::chrono_literals;
using orv::store::Config;
using orv::store::GameDetailViewController;
using orv::store::GameGridViewController;
using orv::store::GameTableViewController;
using orv::store::LazyCellView;
using orv::toolkit::AlertView;

std::unique_ptr<orv::test::LocalReferenceServer> gServer;
orv::test::ServerTap* gTap = nullptr;

void navigate(const std::string& cmd, const std::string& id, const std::string& title) {
  orv::store::NavigationParameters{cmd, id, title}.write(*orv::SettingsStore::standard());
}

// Scrolls the list to its end until `done` holds (each scroll may ask a page).
bool scrollUntil(LazyCellView* view, const std::function<bool()>& done) {
  return QTest::qWaitFor([&] {
    view->scrollToBottom();
    return done();
  }, 10000);
}

std::vector<QString> gridTitles(GameGridViewController* grid) {
  std::vector<QString> out;
  for (int i = 0; i < grid->collectionView()->count(); ++i) {
    auto* cell = qobject_cast<orv::store::GridGameCell2*>(grid->collectionView()->cellAt(i));
    if (cell) out.push_back(cell->title()->text());
  }
  return out;
}

class GameScreensTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gServer);
    gTap->clear();
    gTap->setScript(nullptr);
    Config::resetSessionState();
    Config::setIsShowingDialogRegister(true);
    AlertView::discardAll();
    orv::store::ShareSheet::resetForTesting();
    opened_.clear();
    orv::Application::shared().setUrlOpener([this](const std::string& url) {
      opened_.push_back(url);
      return true;
    });
    window_ = std::make_unique<orv::test::PhoneWindow>();
  }
  void TearDown() override {
    AlertView::discardAll();
    window_.reset();
    orv::Application::shared().setUrlOpener({});
  }
  template <typename Screen>
  Screen* open() {
    auto* screen = window_->push(new Screen);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window_->nav->topViewController() == screen && screen->isAppearing(); }));
    return screen;
  }
  GameDetailViewController* openDetail(int id, int price, double rating = 4.0, const std::string& name = "Ninja") {
    orv::store::Game game;
    game.setId(id);
    game.setPrice(price);
    game.setName(name);
    game.setCode("Sao Mai Studio");
    game.setPartner("P103");
    game.setIcon(gServer->httpBase() + "/media/icons/" + std::to_string(id % 60 + 1) + ".png");
    game.setRatingTotal(rating);
    orv::store::DetailParameters::write(game);
    auto* detail = open<GameDetailViewController>();
    EXPECT_TRUE(QTest::qWaitFor([&] { return detail->model().hasDetail(); }));
    return detail;
  }

  std::unique_ptr<orv::test::PhoneWindow> window_;
  std::vector<std::string> opened_;
};

TEST_F(GameScreensTest, GridPagesACategoryToItsEndAndNeverAsksAgain) {
  navigate("cnt.li", "1", "Hành động");
  auto* grid = open<GameGridViewController>();
  EXPECT_EQ(grid->titleLabel()->text(), QString::fromUtf8("Hành động"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->collectionView()->count() == 10; }));
  ASSERT_TRUE(scrollUntil(grid->collectionView(), [&] { return grid->model().isEndPage(); }));
  for (int i = 0; i < 5; ++i) {
    grid->collectionView()->scrollToBottom();
    QTest::qWait(20);
  }
  EXPECT_EQ(gTap->pages("cnt.li"), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(grid->collectionView()->count(), 23);
  const auto first = gTap->received("cnt.li").front().content;
  EXPECT_EQ(first->int32ForKey("id"), 1);
  EXPECT_EQ(first->int32ForKey("ps"), 10);
  EXPECT_EQ(first->stringForKey("pf"), "android");
  // Cells: 140 x 227 with insets of 15; two columns.
  EXPECT_EQ(grid->collectionView()->cellRect(0), QRect(15, 15, 140, 227));
  EXPECT_EQ(grid->collectionView()->cellRect(1).right(), 320 - 15 - 1);

  gTap->clear();
  navigate("cnt.li", std::to_string(orv::test::kTenCategory), "Mười game");
  auto* ten = open<GameGridViewController>();
  ASSERT_TRUE(scrollUntil(ten->collectionView(), [&] { return ten->model().isEndPage(); }));
  EXPECT_EQ(gTap->pages("cnt.li"), (std::vector<int>{0, 1}));
  EXPECT_EQ(ten->collectionView()->count(), 10);
}

TEST_F(GameScreensTest, SearchSendsNothingUntilAskedAndShowsOnlyItsOwnResults) {
  navigate("cnt.fin", "0", "");
  auto* grid = open<GameGridViewController>();
  ASSERT_TRUE(grid->searchBar());
  QTest::qWait(50);
  EXPECT_TRUE(gTap->received("cnt.fin").empty());

  QTest::keyClicks(grid->searchBar(), "dai chien");
  QTest::keyClick(grid->searchBar(), Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->collectionView()->count() > 0; }));
  const auto titles = gridTitles(grid);
  EXPECT_TRUE(std::any_of(titles.begin(), titles.end(),
                          [](const QString& t) { return t.contains(QString::fromUtf8("Đại Chiến")); }));
  ASSERT_TRUE(scrollUntil(grid->collectionView(), [&] { return grid->model().isEndPage(); }));
  EXPECT_EQ(gTap->received("cnt.fin").front().content->stringForKey("sh"), "dai chien");

  // A second search after the first ended: cleared at once, its own pages.
  gTap->clear();
  grid->searchBar()->clear();
  QTest::keyClicks(grid->searchBar(), "sieu anh hung");
  QTest::keyClick(grid->searchBar(), Qt::Key_Return);
  EXPECT_EQ(grid->collectionView()->count(), 0);
  ASSERT_TRUE(scrollUntil(grid->collectionView(), [&] { return grid->model().isEndPage(); }));
  EXPECT_EQ(gTap->pages("cnt.fin"), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(grid->collectionView()->count(), orv::test::kHeroCount);

  // The first search's answer comes late, after a second search began.
  gTap->clear();
  gTap->delaySearch("dai chien", 300ms);
  grid->searchBar()->setText("dai chien");
  QTest::keyClick(grid->searchBar(), Qt::Key_Return);
  grid->searchBar()->setText("sieu anh hung");
  QTest::keyClick(grid->searchBar(), Qt::Key_Return);
  ASSERT_TRUE(QTest::qWaitFor([&] { return gTap->answered() >= 2; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return grid->collectionView()->count() == 10 && !grid->model().isLoading(); }));
  QTest::qWait(50);
  for (const auto& t : gridTitles(grid)) EXPECT_TRUE(t.startsWith(QString::fromUtf8("Siêu Anh Hùng"))) << t.toStdString();
  EXPECT_EQ(grid->model().currentPage(), 0);
  gTap->delaySearch("", 0ms);

  // Cancel pops the screen.
  QTest::mouseClick(grid->searchCancelButton(), Qt::LeftButton);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->nav->topViewController() == window_->root; }));
}

TEST_F(GameScreensTest, TableRowsPagingAndNoData) {
  navigate("cnt.li", "1", "Hành động");
  auto* table = open<GameTableViewController>();
  ASSERT_TRUE(QTest::qWaitFor([&] { return table->model().games().size() == 10; }));
  auto* row = qobject_cast<orv::store::GameTableCell*>(table->gamesView()->cellAt(0));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->height(), 115);
  const auto& g0 = table->model().games()[0];
  EXPECT_EQ(row->priceLabel()->text(),
            g0.price() >= 1 ? QString("%1 VNĐ").arg(g0.price()) : QString::fromUtf8("MIỄN PHÍ"));
  EXPECT_EQ(row->viewLabel()->text(), QString::fromUtf8("Xem : %1 lượt").arg(g0.downloadCount()));
  EXPECT_EQ(row->providerLabel()->text(), QString::fromStdString(g0.code()));
  ASSERT_TRUE(scrollUntil(table->gamesView(), [&] { return table->model().isEndPage(); }));
  EXPECT_EQ(gTap->pages("cnt.li"), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(table->gamesView()->count(), 23) << "no loading row once ended";
  EXPECT_FALSE(table->isShowingNoData());

  gTap->clear();
  navigate("cnt.li", std::to_string(orv::test::kEmptyCategory), "Trống");
  auto* empty = open<GameTableViewController>();
  ASSERT_TRUE(QTest::qWaitFor([&] { return empty->isShowingNoData(); }));
  auto* label = empty->gamesView()->footerView()->findChild<QLabel*>("emptyLabel");
  EXPECT_EQ(label->text(), QString::fromUtf8("-- Không có dữ liệu --"));
  empty->gamesView()->scrollToBottom();
  QTest::qWait(50);
  EXPECT_EQ(gTap->pages("cnt.li"), std::vector<int>{0});
}

TEST_F(GameScreensTest, TableHomeModeShowsBannersAboveTheRowsAndNeverPages) {
  navigate("hm", "0", "Trang chủ");
  auto* table = open<GameTableViewController>();
  ASSERT_TRUE(QTest::qWaitFor([&] { return table->banners().size() == 5 && table->model().games().size() == 10; }));
  const auto hm = gTap->received("hm");
  ASSERT_EQ(hm.size(), 1u);
  EXPECT_EQ(hm[0].content->int32ForKey("ps"), 5);
  EXPECT_EQ(hm[0].content->int32ForKey("pi"), 0);
  const auto newest = gTap->received("hm.new");
  ASSERT_EQ(newest.size(), 1u);
  EXPECT_EQ(newest[0].content->int32ForKey("ps"), 10);
  EXPECT_EQ(table->gamesView()->headerView(), table->scroller());
  EXPECT_EQ(table->gamesView()->cellRect(0).top(), 150) << "rows start under the banners";
  table->gamesView()->scrollToBottom();
  QTest::qWait(50);
  EXPECT_EQ(table->gamesView()->count(), 10);
  EXPECT_EQ(table->gamesView()->findChild<orv::store::LoadingCell*>(), nullptr);
  EXPECT_EQ(gTap->received("hm.new").size(), 1u);
  EXPECT_TRUE(table->slidingStackShouldDisplayLeftMenu());
}

TEST_F(GameScreensTest, DetailAsksOnceAndShowsGalleryDescriptionStarsAndRelated) {
  auto* detail = openDetail(5, 2000, 2.5, "Đại Chiến Zombie");
  const auto dt = gTap->received("cnt.dt");
  ASSERT_EQ(dt.size(), 1u);
  EXPECT_EQ(dt[0].content->keyEnumerator(), std::vector<std::string>{"id"});
  EXPECT_EQ(dt[0].content->int32ForKey("id"), 5);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !detail->otherGameViews().isEmpty(); }));
  const auto rlt = gTap->received("cnt.rlt");
  ASSERT_EQ(rlt.size(), 1u);
  EXPECT_EQ(rlt[0].content->int32ForKey("ord"), 0);
  EXPECT_EQ(rlt[0].content->int32ForKey("id"), 5);
  EXPECT_EQ(detail->navigationItem()->title(), QString::fromUtf8("CHI TIẾT"));
  EXPECT_EQ(detail->sContent()->widget()->size(), QSize(320, 860));
  EXPECT_EQ(detail->galleryImages().size(), 2 + 5 % 4);
  const QString text = detail->tvDec()->toPlainText();
  EXPECT_FALSE(text.contains('<')) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("phát triển & phát hành")));
  EXPECT_TRUE(text.contains(QString::fromUtf8("Chế độ \"Thử thách\"  mỗi tuần")));
  EXPECT_EQ(detail->stars()->visibleStarCount(), 3);
  const auto cards = detail->otherGameViews();
  EXPECT_EQ(cards[0]->geometry(), QRect(0, 0, 106, 152));
  if (cards.size() >= 3) {
    EXPECT_EQ(cards[2]->x(), 208);
  }
  EXPECT_EQ(detail->sOtherGame()->widget()->width(), static_cast<int>(cards.size()) * 106);
  // Publisher names fit their card ("Hoa Sen Entertainment" is cut with "…").
  for (const auto* card : cards) {
    const QLabel* provider = card->lbProvider();
    EXPECT_LE(provider->fontMetrics().horizontalAdvance(provider->text()), provider->width())
        << provider->text().toStdString();
  }

  // Coming back sends nothing; a tapped card opens that game's page.
  const int second = detail->model().otherGames()[1].id();
  QTest::mouseClick(cards[1]->vContent(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return gTap->received("cnt.dt").size() == 2; }));
  EXPECT_EQ(gTap->received("cnt.dt")[1].content->int32ForKey("id"), second);
  window_->nav->popViewController(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->nav->topViewController() == detail && detail->isAppearing(); }));
  QTest::qWait(50);
  EXPECT_EQ(gTap->received("cnt.dt").size(), 2u);
}

TEST_F(GameScreensTest, GalleryRuleAndFiveStars) {
  const std::string a = gServer->httpBase() + "/media/gallery/1-1.png";
  const std::string b = gServer->httpBase() + "/media/gallery/1-2.png";
  gTap->setScript([&](const std::string& command, const ORVDataObject& content) -> ORVDataObjectPtr {
    if (command != "cnt.dt") return nullptr;
    const int id = content.int32ForKey("id");
    const std::string gll = id == 901 ? a + "," + b + "," : id == 902 ? a + "," + b : "";
    auto builder = ORVDataObject::builder().putString(gll, "gll");
    if (id != 903) builder.putString("&amp;lt;b&amp;gt;x 1 < 2", "des");
    return builder.build();
  });
  EXPECT_EQ(openDetail(901, 0, 5.0)->galleryImages().size(), 2);
  auto* dropped = openDetail(902, 0);
  ASSERT_EQ(dropped->galleryImages().size(), 1);
  EXPECT_EQ(dropped->galleryImages()[0]->width(), 320);
  EXPECT_EQ(dropped->tvDec()->toPlainText(), "x 1 < 2");
  auto* none = openDetail(903, 0, 5.0);
  ASSERT_EQ(none->galleryImages().size(), 1);
  EXPECT_EQ(none->galleryImages()[0]->geometry(), QRect(82, 0, 155, 155)) << "the icon, centred";
  EXPECT_EQ(none->tvDec()->toPlainText(), "");
  EXPECT_EQ(none->stars()->visibleStarCount(), 5);
}

TEST_F(GameScreensTest, DownloadAnswers) {
  // Subscribed number, catalogue price: the server's link is opened.
  Config::setMsisdn("84912000001");
  auto* detail = openDetail(3, 0);
  QTest::mouseClick(detail->downloadButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !opened_.empty(); }));
  EXPECT_EQ(opened_[0], gServer->httpBase() + "/download/3");
  const auto buy = gTap->received("a.buy").at(0).content;
  EXPECT_EQ(buy->keyEnumerator().size(), 5u);
  EXPECT_EQ(buy->int32ForKey("id"), 3);
  EXPECT_EQ(buy->int32ForKey("pri"), 0);
  EXPECT_EQ(buy->stringForKey("tl"), "Ninja");
  EXPECT_EQ(buy->stringForKey("msi"), "84912000001");
  EXPECT_EQ(buy->stringForKey("par"), "P103");

  // "" and a link of another scheme: the error text, nothing opened.
  for (const std::string link : {"", "file:///etc/passwd"}) {
    gTap->setScript([link](const std::string& command, const ORVDataObject&) -> ORVDataObjectPtr {
      return command == "a.buy" ? ORVDataObject::builder().putString(link, "rs").build() : nullptr;
    });
    QTest::mouseClick(detail->downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return AlertView::visibleAlert() != nullptr; }));
    EXPECT_EQ(AlertView::visibleAlert()->message(),
              QString::fromUtf8("Đường dẫn tải file cài đặt bị lỗi. Hãy thử lại!"));
    AlertView::pressVisibleAlertButton(0);
  }
  EXPECT_EQ(opened_.size(), 1u);
  gTap->setScript(nullptr);

}

int priceOf(int id) {
  auto d = gServer->server().catalogue()->gameDetail(id);
  return d ? d->game.price : 0;
}

TEST_F(GameScreensTest, PaidGameOffersSubscriptionAndGuestIsAskedToSignIn) {
  for (const auto& [msisdn, button] : {std::pair{"84912000098", "Gia hạn"}, std::pair{"84912000099", "Đăng ký"}}) {
    Config::setMsisdn(msisdn);
    auto* detail = openDetail(1, priceOf(1));
    QTest::mouseClick(detail->downloadButton(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return AlertView::visibleAlert() != nullptr; }));
    EXPECT_EQ(AlertView::visibleAlert()->tag(), 996);
    EXPECT_EQ(AlertView::visibleAlert()->buttonTitleAtIndex(0), QString::fromUtf8("Bỏ qua"));
    EXPECT_EQ(AlertView::visibleAlert()->buttonTitleAtIndex(1), QString::fromUtf8(button));
    AlertView::pressVisibleAlertButton(0);
    EXPECT_TRUE(opened_.empty());
  }

  // A guest: alert 995, nothing sent; "OK" opens the second sign-in screen.
  Config::setMsisdn("");
  gTap->clear();
  auto* detail = openDetail(3, 0);
  QTest::mouseClick(detail->downloadButton(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([] { return AlertView::visibleAlert() != nullptr; }));
  EXPECT_EQ(AlertView::visibleAlert()->tag(), 995);
  EXPECT_EQ(AlertView::visibleAlert()->buttonTitleAtIndex(1), "OK");
  EXPECT_TRUE(gTap->received("a.buy").empty());
  AlertView::pressVisibleAlertButton(1);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return qobject_cast<orv::store::LoginViewController2*>(window_->nav->topViewController()) != nullptr; }));
  AlertView::discardAll();
  window_->nav->popViewController(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->nav->topViewController() == detail && detail->isAppearing(); }));
}

TEST_F(GameScreensTest, ShareFreeGamesOnly) {
  auto* free = openDetail(3, 0, 4.0, "Cờ Tướng");
  ASSERT_TRUE(QTest::qWaitFor([&] { return !free->ivAvatar()->image().isNull(); }));
  ASSERT_FALSE(window_->nav->isToolbarHidden());
  free->shareText();
  ASSERT_EQ(orv::store::ShareSheet::presentedCount(), 1);
  const auto& items = orv::store::ShareSheet::lastShared();
  EXPECT_EQ(items.text, QString::fromUtf8("Cờ Tướng"));
  EXPECT_FALSE(items.picture.isNull());
  EXPECT_EQ(items.link, QString::fromStdString(gServer->httpBase() + "/mobile/share/share.html?id=3"));
  AlertView::discardAll();

  auto* paid = openDetail(1, 1000);
  paid->shareText();
  ASSERT_TRUE(QTest::qWaitFor([] { return AlertView::visibleAlert() != nullptr; }));
  EXPECT_EQ(AlertView::visibleAlert()->message(),
            QString::fromUtf8("Chức năng này chỉ sử dụng cho các game miễn phí!"));
  EXPECT_EQ(AlertView::visibleAlert()->buttonTitleAtIndex(0), QString::fromUtf8("Đóng"));
  EXPECT_EQ(orv::store::ShareSheet::presentedCount(), 1);
  AlertView::discardAll();
  // A screen pushed over the page (the search grid) does not show the
  // page's toolbar; back on the page it is there again.
  window_->nav->pushViewController(new orv::toolkit::ViewController, false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->nav->topViewController() != paid && window_->nav->isToolbarHidden(); }));
  window_->nav->popViewController(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->nav->topViewController() == paid && !window_->nav->isToolbarHidden(); }));
  // Popping the page hides the toolbar again.
  window_->nav->popViewController(false);
  window_->nav->popViewController(false);
  EXPECT_TRUE(QTest::qWaitFor([&] { return window_->nav->isToolbarHidden(); }));
}

}  // namespace

int main(int argc, char** argv) {
  return orv::test::runScreenSuite(argc, argv, ORV_SOURCE_DIR, [] {
    gServer = orv::test::LocalReferenceServer::start();
    if (gServer) {
      if (!orv::test::addGames(*gServer->server().catalogue())) return 2;
      gTap = new orv::test::ServerTap(*gServer->server().catalogue(), gServer->server().sessionServer());
      const auto error = orv::test::connectStore(*gServer);
      if (!error.empty()) {
        fprintf(stderr, "store: %s\n", error.c_str());
        return 2;
      }
    }
    const int result = RUN_ALL_TESTS();
    Config::sharedClient()->disconnect();
    gServer.reset();
    return result;
  });
}
