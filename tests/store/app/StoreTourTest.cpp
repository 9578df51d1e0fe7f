// The guided tour end to end: the orv-store binary walks the store on the
// offscreen platform against the whole reference server started here, and
// what each step recorded in tour.json is checked against the server's own
// catalogue database (section titles, category names, games, prices) and
// against what the server received (the purchase, the one-time password).

#include "store/app/StoreTour.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/LocalReferenceServer.h"

namespace {

namespace fs = std::filesystem;
using orv::store::StoreTour;

// Rows of one column of a query on the catalogue database.
std::vector<std::string> column(const fs::path& db, const std::string& sql) {
  std::vector<std::string> out;
  sqlite3* handle = nullptr;
  if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(handle);
    return out;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const auto* text = sqlite3_column_text(statement, 0);
      out.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(handle);
  return out;
}

struct Step {
  std::string step, screen, title;
  std::vector<std::string> texts;
  qint64 ms = 0;
  QJsonObject raw;
  bool shows(const std::string& text) const { return std::find(texts.begin(), texts.end(), text) != texts.end(); }
  bool showsPart(const std::string& part) const {
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; });
  }
};

class StoreTourTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The address is not recognised: the tour signs in with a password.
    server_ = orv::test::LocalReferenceServer::start().release();
    ASSERT_TRUE(server_) << orv::test::LocalReferenceServer::lastError();
    dir_ = server_->folder() / "tour";
    const std::string base = server_->httpBase();
    const std::string command = std::string("QT_QPA_PLATFORM=offscreen '") + ORV_STORE_BINARY + "' --server 127.0.0.1:" +
                                std::to_string(server_->sessionPort()) + " --api " + base + " --media " + base +
                                "/media/ --register " + base + " --share " + base + " --tour '" + dir_.string() +
                                "' > '" + (server_->folder() / "tour.log").string() + "' 2>&1";
    status_ = std::system(command.c_str());
    std::ifstream report(dir_ / "tour.json");
    for (std::string line; std::getline(report, line);) {
      const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
      Step s{o["step"].toString().toStdString(), o["screen"].toString().toStdString(),
             o["title"].toString().toStdString(), {}, static_cast<qint64>(o["ms"].toDouble()), o};
      for (const auto& t : o["texts"].toArray()) s.texts.push_back(t.toString().toStdString());
      steps_[s.step] = s;
      order_.push_back(s.step);
    }
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  static fs::path db() { return server_->folder() / "store.db"; }
  static const Step& step(const std::string& name) {
    static const Step none;
    auto it = steps_.find(name);
    EXPECT_NE(it, steps_.end()) << "no record of " << name;
    return it == steps_.end() ? none : it->second;
  }
  static std::string log() {
    std::ifstream in(server_->folder() / "tour.log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  static inline orv::test::LocalReferenceServer* server_ = nullptr;
  static inline fs::path dir_;
  static inline int status_ = -1;
  static inline std::map<std::string, Step> steps_;
  static inline std::vector<std::string> order_;
};

TEST_F(StoreTourTest, EveryStepPassesInOrderWithItsPicture) {
  ASSERT_EQ(status_, 0) << log();
  const std::vector<std::string> expected{"01-signin", "02-otp",    "03-home",  "04-menu",   "05-category", "06-paging",
                                          "07-detail", "08-buy",    "09-search", "10-share", "11-guest"};
  EXPECT_EQ(order_, expected);
  for (const auto& name : expected) {
    EXPECT_GT(fs::file_size(dir_ / (name + ".png")), 2000u) << name;
    EXPECT_FALSE(step(name).texts.empty()) << name;
  }
  // One process for steps 1 to 10: its clock only moves forward.
  for (std::size_t i = 1; i + 1 < order_.size(); ++i) EXPECT_GE(steps_[order_[i]].ms, steps_[order_[i - 1]].ms);
}

TEST_F(StoreTourTest, SignInShowsTheFormThenThePasswordPathSignsTheNumberIn) {
  // The lookup failure is told with the store's own text, over the form.
  QFile strings(QStringLiteral(ORV_SOURCE_DIR "/store/resources/strings.vi.json"));
  ASSERT_TRUE(strings.open(QIODevice::ReadOnly));
  const QJsonObject table = QJsonDocument::fromJson(strings.readAll()).object();
  const Step& signin = step("01-signin");
  EXPECT_EQ(signin.screen, "LoginViewController");
  EXPECT_TRUE(signin.shows(table["error_msisdn_lookup"].toString().simplified().toStdString()));
  EXPECT_TRUE(signin.shows(table["btn_no"].toString().toStdString()));
  const Step& otp = step("02-otp");
  EXPECT_EQ(otp.screen, "LoginViewController");
  EXPECT_TRUE(otp.shows("84912000098"));
  EXPECT_TRUE(otp.shows("Lấy mật khẩu"));
  // Signed in: the menu greets the number.
  EXPECT_TRUE(step("04-menu").shows("Xin chào 84912000098"));
}

TEST_F(StoreTourTest, HomeAndMenuShowTheCatalogueSectionsAndCategories) {
  const auto sections = column(db(), "SELECT title FROM sections ORDER BY position");
  const auto categories = column(db(), "SELECT title FROM categories ORDER BY position");
  ASSERT_FALSE(sections.empty());
  ASSERT_FALSE(categories.empty());
  const Step& home = step("03-home");
  EXPECT_EQ(home.screen, "HomeViewController");
  EXPECT_TRUE(home.showsPart(sections.front())) << "first section title " << sections.front();
  const Step& menu = step("04-menu");
  EXPECT_EQ(menu.screen, "LeftMenuViewController");
  // The categories on screen are the server's, in its order, the first included.
  std::vector<std::string> shown;
  for (const auto& t : menu.texts)
    if (std::find(categories.begin(), categories.end(), t) != categories.end()) shown.push_back(t);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), categories.front());
  EXPECT_TRUE(std::equal(shown.begin(), shown.end(), categories.begin()));
}

TEST_F(StoreTourTest, CategoryGridPagesToTheLastGameOfTheCategory) {
  const auto first = column(db(), "SELECT id FROM categories ORDER BY position LIMIT 1");
  const auto title = column(db(), "SELECT title FROM categories ORDER BY position LIMIT 1");
  ASSERT_FALSE(first.empty());
  const Step& grid = step("05-category");
  EXPECT_EQ(grid.screen, "GameGridViewController");
  EXPECT_EQ(grid.title, title.front());
  const auto games = column(db(), "SELECT title FROM games WHERE status = 1 AND category_id = " + first.front() +
                                      " ORDER BY downloads DESC, id");
  ASSERT_GT(games.size(), 10u);  // more than one page
  const Step& end = step("06-paging");
  EXPECT_TRUE(end.showsPart(games.back())) << "the category's last game " << games.back();
  EXPECT_FALSE(end.showsPart(games.front()));
}

TEST_F(StoreTourTest, DetailShowsTheGameWithItsPriceAndBuyingReachesTheServer) {
  const Step& detail = step("07-detail");
  EXPECT_EQ(detail.screen, "GameDetailViewController");
  EXPECT_EQ(detail.title, "CHI TIẾT");
  // The game on the page, found by its title in the catalogue, with its price.
  std::string id, price;
  for (const auto& t : detail.texts) {
    if (t.find('\'') != std::string::npos) continue;
    const auto ids = column(db(), "SELECT id FROM games WHERE title = '" + t + "'");
    if (ids.size() == 1) {
      id = ids.front();
      price = column(db(), "SELECT price FROM games WHERE id = " + id).front();
    }
  }
  ASSERT_FALSE(id.empty()) << "no catalogue title on the page";
  EXPECT_TRUE(detail.shows(price == "0" ? "MIỄN PHÍ" : price + " VNĐ")) << price;

  const Step& buy = step("08-buy");
  const std::string opened = buy.raw["opened"].toString().toStdString();
  const auto status = column(db(), "SELECT status FROM subscribers WHERE msisdn = '84912000098'");
  ASSERT_EQ(status.size(), 1u);
  if (price == "0" || status.front() == "1") {
    // A free game, or a subscriber: the download link goes to the platform,
    // and the server booked the purchase.
    const std::string tail = "/download/" + id;
    EXPECT_TRUE(opened.size() > tail.size() && opened.compare(opened.size() - tail.size(), tail.size(), tail) == 0)
        << opened;
    EXPECT_FALSE(
        column(db(), "SELECT id FROM purchases WHERE msisdn = '84912000098' AND game_id = " + id).empty());
  } else {
    // A paid game while renewal is due (98) or unregistered (99): the offer.
    EXPECT_TRUE(opened.empty()) << opened;
    EXPECT_TRUE(buy.shows("Thông báo"));
    EXPECT_TRUE(buy.shows(status.front() == "98" ? "Gia hạn" : "Đăng ký")) << status.front();
  }
}

TEST_F(StoreTourTest, SearchWithoutDiacriticsFindsTitlesWithThem) {
  const Step& search = step("09-search");
  EXPECT_EQ(search.screen, "GameGridViewController");
  const auto found = column(db(), "SELECT title FROM games WHERE status = 1 AND title_folded LIKE '%dai chien%'");
  ASSERT_FALSE(found.empty());
  bool shown = false;
  for (const auto& title : found) {
    EXPECT_NE(StoreTour::fold(QString::fromStdString(title)), QString::fromStdString(title));
    shown = shown || search.showsPart(title);
  }
  EXPECT_TRUE(shown);
  // Every game title on the results screen is one the search matches.
  const auto all = column(db(), "SELECT title FROM games");
  for (const auto& t : search.texts) {
    if (std::find(all.begin(), all.end(), t) != all.end()) {
      EXPECT_TRUE(StoreTour::fold(QString::fromStdString(t)).contains("dai chien")) << t;
    }
  }
}

TEST_F(StoreTourTest, ShareOfAFreeGameLinksItsPageAndTheGuestIsOfferedSignIn) {
  const Step& share = step("10-share");
  EXPECT_EQ(share.screen, "GameDetailViewController");
  const std::string link = share.raw["shared"].toString().toStdString();
  const std::string prefix = server_->httpBase() + "/mobile/share/share.html?id=";
  ASSERT_EQ(link.rfind(prefix, 0), 0u) << link;
  const auto price = column(db(), "SELECT price FROM games WHERE id = " + std::to_string(std::atoi(link.c_str() + prefix.size())));
  ASSERT_EQ(price.size(), 1u);
  EXPECT_EQ(price.front(), "0");

  const Step& guest = step("11-guest");
  EXPECT_EQ(guest.screen, "LeftMenuViewController");
  EXPECT_TRUE(guest.shows("ĐĂNG NHẬP"));
  EXPECT_TRUE(guest.shows("Xin chào khách"));
}

}  // namespace
