// The side menu and the home screen on the offscreen platform, against the
// reference server over a small catalogue built here: three banners, two
// sections (ratings 4.5, 3.2, 3.0 and 0), category 12 and a category without
// an icon. Real clicks on real widgets; the server sees every request.

#include "store/screens/HomeViewController.h"

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QLabel>
#include <QtTest/QtTest>
#include <QListView>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "server/store/Catalogue.h"
#include "store/Config.h"
#include "store/records/CatalogueRequests.h"
#include "store/screens/GridGameCell.h"
#include "store/screens/GridGameHeader.h"
#include "store/screens/LeftMenuViewController.h"
#include "store/screens/PageControl.h"
#include "store/screens/PlaceholderViewController.h"
#include "tests/store/screens/HomeMenuTestSupport.h"
#include "toolkit/AlertView.h"
#include "toolkit/SlidingNavigationStack.h"
#include "toolkit/image/RemoteImageView.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVMessage.h"

namespace {

using orv::store::Config;
using orv::store::HomeViewController;
using orv::store::LeftMenuViewController;
using orv::toolkit::AlertView;
using orv::toolkit::SlidingNavigationStack;

// Builds the suite's catalogue in `db` before the server opens it.
bool buildCatalogue(const std::filesystem::path& db) {
  auto catalogue = orv::server::Catalogue::open(db);
  if (!catalogue) return false;
  std::vector<orv::server::Category> categories{{12, "Phiêu lưu", "categories/12.png"}, {8, "Âm nhạc", ""}};
  std::vector<orv::server::Catalogue::NewGame> games;
  const std::vector<std::tuple<const char*, double, bool, int>> seed{
      {"Rồng Lửa", 4.5, true, 12}, {"Ninja Bóng Đêm", 3.2, true, 12}, {"Đua Xe Tốc Độ", 3.0, true, 12},
      {"Cờ Tướng", 0.0, false, 8}, {"Karaoke Vui", 2.4, false, 8}};
  int id = 0;
  for (const auto& [title, rating, banner, category] : seed) {
    orv::server::Catalogue::NewGame n;
    n.game.id = ++id;
    n.game.title = title;
    n.game.provider = "Sao Mai Studio";
    n.game.partner = "P100";
    n.game.price = id % 2 ? 2000 : 0;
    n.game.rating = rating;
    n.game.ratingCount = rating > 0 ? 10 : 0;
    n.game.downloads = 1000 * id;
    n.game.categoryId = category;
    n.iconPath = "icons/" + std::to_string(id) + ".png";
    n.bannerPath = "banners/" + std::to_string(id) + ".png";
    n.banner = banner;
    n.releasedAt = 1767225600 - 86400 * id;  // newest first: 1, 2, 3, 4, 5
    games.push_back(std::move(n));
  }
  return catalogue->insertCatalogue(categories, games, {{"hm.new", "Mới nhất", "new"}, {"hm.rcm", "Đề cử", "recommended"}});
}

std::vector<std::string> rowTexts(const LeftMenuViewController& menu) {
  std::vector<std::string> out;
  auto* model = menu.tableView1()->model();
  for (int r = 0; r < model->rowCount(); ++r) out.push_back(model->index(r, 0).data().toString().toStdString());
  return out;
}

int rowOf(const LeftMenuViewController& menu, int id) {
  auto* model = menu.tableView1()->model();
  for (int r = 0; r < model->rowCount(); ++r)
    if (model->index(r, 0).data(LeftMenuViewController::RowIdRole).toInt() == id) return r;
  return -1;
}

// Clicks a row of the menu's table with the mouse.
void clickRow(LeftMenuViewController& menu, int row) {
  auto* view = menu.tableView1();
  const QRect rect = view->visualRect(view->model()->index(row, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

class HomeMenuTest : public orv::test::StoreWindowTest {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/orv-home-menu-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
    ASSERT_TRUE(buildCatalogue(dir_ / "home.db"));
    const auto error = orv::test::connectStore(server_, {"--db", (dir_ / "home.db").string()});
    ASSERT_EQ(error, "");
    HomeViewController::setSliderTimerInterval(40);
  }
  static void TearDownTestSuite() {
    Config::sharedClient()->disconnect();
    server_.reset();
    std::filesystem::remove_all(dir_);
  }
  void SetUp() override {
    ASSERT_TRUE(server_);
    Config::resetSessionState();
    AlertView::discardAll();
  }
  void TearDown() override {
    AlertView::discardAll();
    closeStore();
  }

  void openMenu() {
    bool opened = false;
    stack_->openMenu(SlidingNavigationStack::Left, [&] { opened = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened && menu_->tableView1()->model()->rowCount() > 0; }, 5000));
  }

  static inline std::filesystem::path dir_;
  static inline std::unique_ptr<orv::test::LocalReferenceServer> server_;
};

TEST_F(HomeMenuTest, MenuRowsByNumberAndStatus) {
  struct Case {
    std::string msisdn;
    int32_t status;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases{
      {"", 0, {"Xin chào khách", "ĐĂNG NHẬP", "Trạng thái thuê bao", "Tải nhiều", "Mới nhất", "Đề cử", "Phiêu lưu", "Âm nhạc", "Hỗ trợ"}},
      {"84912000001", 1, {"Xin chào 84912000001", "Trạng thái thuê bao", "Tải nhiều", "Mới nhất", "Đề cử", "Phiêu lưu", "Âm nhạc", "Hỗ trợ"}},
      {"84912000098", 98, {"Xin chào 84912000098", "GIA HẠN", "Trạng thái thuê bao", "Tải nhiều", "Mới nhất", "Đề cử", "Phiêu lưu", "Âm nhạc", "Hỗ trợ"}},
      {"84912000099", 99, {"Xin chào 84912000099", "ĐĂNG KÝ NGAY", "Trạng thái thuê bao", "Tải nhiều", "Mới nhất", "Đề cử", "Phiêu lưu", "Âm nhạc", "Hỗ trợ"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.msisdn);
    Config::setMsisdn(c.msisdn);
    Config::setMsisdnStatus(c.status);
    Config::setIsShowingDialogRegister(true);
    presentStore();
    openMenu();
    EXPECT_EQ(rowTexts(*menu_), c.rows);
    auto* model = menu_->tableView1()->model();
    for (int r = 0; r < model->rowCount(); ++r) {
      const auto index = model->index(r, 0);
      const int id = index.data(LeftMenuViewController::RowIdRole).toInt();
      const auto font = index.data(Qt::FontRole).value<QFont>();
      const auto fg = index.data(Qt::ForegroundRole).value<QColor>();
      const auto bg = index.data(Qt::BackgroundRole).value<QColor>();
      if (id == -99) {
        EXPECT_EQ(bg, QColor(19, 102, 203));
        EXPECT_EQ(fg, QColor(Qt::white));
        EXPECT_TRUE(font.bold());
        EXPECT_EQ(font.pixelSize(), 16);
      } else if (id == -1) {
        EXPECT_EQ(fg, QColor(19, 102, 203));
        EXPECT_TRUE(font.bold());
        EXPECT_FALSE(index.flags() & Qt::ItemIsSelectable);
      } else {
        EXPECT_EQ(fg, QColor(164, 164, 164)) << r;
        EXPECT_EQ(bg.alpha(), 0);
        EXPECT_FALSE(font.bold());
        EXPECT_EQ(index.data(LeftMenuViewController::SelectionColorRole).value<QColor>(), QColor(219, 233, 248));
      }
    }
    // The iconless category (the bare media URL) shows "ic_support"; the
    // other one its picture from the media server, drawn 30 x 30.
    EXPECT_EQ(model->index(rowOf(*menu_, 8), 0).data(LeftMenuViewController::ImageSourceRole).toString(), "ic_support");
    EXPECT_FALSE(menu_->imageForRow(rowOf(*menu_, 8)).isNull());
    const int adventure = rowOf(*menu_, 12);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !menu_->imageForRow(adventure).isNull(); }, 5000));
    EXPECT_EQ(menu_->imageForRow(adventure).deviceIndependentSize().toSize(), QSize(30, 30));
    closeStore();
  }
}

TEST_F(HomeMenuTest, AnswerWithoutListAndUpdateMenu) {
  Config::setMsisdn("84912000099");
  Config::setMsisdnStatus(99);
  Config::setIsShowingDialogRegister(true);
  presentStore();
  openMenu();
  // A "cnt.cat" answer without "rs" handed to the menu as the client would.
  auto bare = ORVMessage::messageWithCommandId(13, std::string("cnt.cat"), ORVDataObject::dataObject());
  menu_->messageHandler()->handleMessage(bare);
  ASSERT_TRUE(QTest::qWaitFor([&] { return menu_->tableView1()->model()->rowCount() == 7; }, 5000));
  EXPECT_EQ(rowTexts(*menu_)[1], "ĐĂNG KÝ NGAY");

  Config::setMsisdnStatus(1);
  menu_->updateMenu();
  EXPECT_EQ(rowTexts(*menu_), (std::vector<std::string>{"Xin chào 84912000099", "Trạng thái thuê bao", "Tải nhiều",
                                                        "Mới nhất", "Đề cử", "Hỗ trợ"}));
  Config::setMsisdnStatus(98);
  menu_->updateMenu();
  EXPECT_EQ(rowTexts(*menu_)[1], "GIA HẠN");
  EXPECT_EQ(menu_->tableView1()->model()->rowCount(), 7);
}

TEST_F(HomeMenuTest, SelectingACategoryOpensItsList) {
  Config::setMsisdn("");
  Config::setIsShowingDialogRegister(true);
  presentStore();
  openMenu();
  clickRow(*menu_, rowOf(*menu_, 12));
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->viewControllers().size() == 2 && !stack_->isMenuOpen(); }, 5000));
  auto settings = orv::SettingsStore::standard();
  EXPECT_EQ(settings->value("cmd"), "cnt.li");
  EXPECT_EQ(settings->value("id"), "12");
  EXPECT_EQ(settings->value("tl"), "Phiêu lưu");
  EXPECT_EQ(stack_->topViewController()->objectName(), "GameGridViewController");

  // A guest's status row sends nothing and says why.
  openMenu();
  clickRow(*menu_, rowOf(*menu_, -2));
  ASSERT_TRUE(QTest::qWaitFor([] { return AlertView::visibleAlert() != nullptr; }, 3000));
  EXPECT_EQ(AlertView::visibleAlert()->tag(), 0);
}

TEST_F(HomeMenuTest, HomeSliderSectionsAndStars) {
  Config::setMsisdn("84912000001");
  Config::setMsisdnStatus(1);
  Config::setIsShowingDialogRegister(true);
  presentStore();
  ASSERT_TRUE(QTest::qWaitFor([&] { return home_->sectionHeaders().size() == 2 && home_->banners().size() == 3; }, 5000));

  // Three banners: three pages and three dots, every picture loaded.
  EXPECT_EQ(home_->pageSlider()->numberOfPages(), 3);
  EXPECT_EQ(home_->homeSlider()->widget()->width(), 960);
  EXPECT_EQ(home_->sliderTimer()->interval(), 40);
  EXPECT_TRUE(home_->sliderTimer()->isActive());
  // The timer walks the pages and wraps to the first.
  std::vector<int> pages;
  QObject::connect(home_->homeSlider()->horizontalScrollBar(), &QScrollBar::valueChanged, home_,
                   [&](int) { pages.push_back(home_->pageSlider()->currentPage()); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return pages.size() >= 4; }, 5000));
  EXPECT_EQ(std::vector<int>(pages.begin(), pages.begin() + 4), (std::vector<int>{1, 2, 0, 1}));

  // Two sections: 2 x 432 points of grid, "more" tags 0 and 1.
  EXPECT_EQ(home_->homeGrid()->widget()->height(), 864);
  EXPECT_EQ(home_->sectionHeaders()[0]->title()->text(), "Mới nhất");
  EXPECT_EQ(home_->sectionHeaders()[1]->title()->text(), "Đề cử");
  EXPECT_EQ(home_->sectionHeaders()[0]->tag(), 0);
  EXPECT_EQ(home_->sectionHeaders()[1]->tag(), 1);

  // Newest first: ratings 4.5, 3.2, 3.0, 0, 2.4.
  const auto cells = home_->cellsOfSection(0);
  ASSERT_EQ(cells.size(), 5);
  EXPECT_EQ(cells[0]->title()->text(), "Rồng Lửa");
  EXPECT_EQ(cells[0]->subtitle()->text(), "Sao Mai Studio");
  EXPECT_EQ(cells[0]->size(), QSize(100, 188));
  std::vector<int> stars;
  for (auto* cell : cells) stars.push_back(cell->visibleStarCount());
  EXPECT_EQ(stars, (std::vector<int>{5, 4, 3, 0, 3}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !cells[0]->thumb()->image().isNull(); }, 5000));
  // The cards fit the width with even outer margins, at 320 points and
  // after a change of width.
  for (const int width : {320, 330, 320}) {
    stack_->resize(width, 568);
    ASSERT_TRUE(QTest::qWaitFor([&] { return home_->homeGrid()->width() == width; }));
    const int viewport = home_->homeGrid()->widget()->width();
    EXPECT_EQ(viewport, width);
    const int leftMargin = cells[0]->x();
    int right = 0;
    for (auto* cell : cells) right = std::max(right, cell->geometry().right() + 1);
    EXPECT_GT(leftMargin, 0) << width;
    EXPECT_EQ(viewport - right, leftMargin) << width;
  }

  // "more" on the second section writes the navigation parameters and opens the grid list.
  home_->homeGrid()->ensureWidgetVisible(home_->sectionHeaders()[1]);
  QTest::mouseClick(home_->sectionHeaders()[1]->btnMore(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->viewControllers().size() == 2; }, 5000));
  auto settings = orv::SettingsStore::standard();
  EXPECT_EQ(settings->value("cmd"), "hm.rcm");
  EXPECT_EQ(settings->value("id"), "0");
  EXPECT_EQ(settings->value("tl"), "Đề cử");
  EXPECT_EQ(stack_->topViewController()->objectName(), "GameGridViewController");
  stack_->popViewController(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->viewControllers().size() == 1; }, 5000));

  // A game cell opens its detail with the eight detail parameters.
  home_->homeGrid()->ensureWidgetVisible(home_->cellsOfSection(0)[1]);
  QTest::mouseClick(home_->cellsOfSection(0)[1], Qt::LeftButton, {}, QPoint(50, 120));
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->viewControllers().size() == 2; }, 5000));
  EXPECT_EQ(settings->value("id"), "2");
  EXPECT_EQ(settings->value("tl"), "Ninja Bóng Đêm");
  EXPECT_EQ(settings->value("rat"), "3.200000");
  EXPECT_EQ(stack_->topViewController()->objectName(), "GameDetailViewController");
}

TEST_F(HomeMenuTest, OfferOncePerRunAndItsRegistrationAnswer) {
  Config::setMsisdn("84912000099");
  Config::setMsisdnStatus(99);
  Config::setNotify("Quý khách chưa đăng ký dịch vụ.");
  presentStore();
  ASSERT_TRUE(QTest::qWaitFor([] { return AlertView::visibleAlert() != nullptr; }, 3000));
  auto* offer = AlertView::visibleAlert();
  EXPECT_EQ(offer->tag(), 996);
  EXPECT_EQ(offer->message(), "Quý khách chưa đăng ký dịch vụ.");
  EXPECT_EQ(offer->buttonTitleAtIndex(0), "Bỏ qua");
  EXPECT_EQ(offer->buttonTitleAtIndex(1), "Đăng ký");
  openMenu();
  EXPECT_EQ(rowTexts(*menu_)[1], "ĐĂNG KÝ NGAY");
  stack_->closeMenu();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !stack_->isMenuOpen(); }, 3000));

  // "Đăng ký": the answer to "a.reg" reaches the home screen although the
  // menu is closed; the overlay goes, the answer's text is shown, the status
  // becomes 1 and the menu drops its action row.
  ASSERT_TRUE(AlertView::pressVisibleAlertButton(1));
  ASSERT_TRUE(QTest::qWaitFor([] {
    return AlertView::visibleAlert() && AlertView::visibleAlert()->tag() == 0;
  }, 5000));
  EXPECT_EQ(AlertView::visibleAlert()->message(), "Đăng ký dịch vụ thành công. Chúc quý khách chơi game vui vẻ!");
  EXPECT_EQ(Config::getMsisdnStatus(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return home_->overlay() && !home_->overlay()->isShowing(); }, 3000));
  EXPECT_EQ(rowTexts(*menu_)[1], "Trạng thái thuê bao");
  AlertView::discardAll();

  // A second home screen in the same run offers nothing.
  closeStore();
  Config::setMsisdnStatus(99);
  presentStore();
  ASSERT_TRUE(QTest::qWaitFor([&] { return home_->banners().size() == 3; }, 5000));
  EXPECT_EQ(AlertView::visibleAlert(), nullptr);
}

TEST_F(HomeMenuTest, ComingBackAfterAStatusChangeRefreshesTheMenuOnce) {
  Config::setMsisdn("84912000099");
  Config::setMsisdnStatus(99);
  Config::setIsShowingDialogRegister(true);
  presentStore();
  openMenu();
  stack_->closeMenu();
  ASSERT_TRUE(QTest::qWaitFor([&] { return home_->sectionHeaders().size() == 2 && !stack_->isMenuOpen(); }, 5000));
  QSignalSpy updates(menu_, &LeftMenuViewController::menuUpdated);

  QTest::mouseClick(home_->sectionHeaders()[0]->btnMore(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->viewControllers().size() == 2; }, 5000));
  Config::setMsisdnStatus(1);  // as an "a.reg" answer on another screen would
  stack_->popViewController(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return updates.count() == 1; }, 5000));
  EXPECT_EQ(rowTexts(*menu_)[1], "Trạng thái thuê bao");

  // Back again with nothing changed: no second refresh.
  QTest::mouseClick(home_->sectionHeaders()[0]->btnMore(), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->viewControllers().size() == 2; }, 5000));
  stack_->popViewController(false);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stack_->viewControllers().size() == 1; }, 5000));
  EXPECT_EQ(updates.count(), 1);
}

}  // namespace
