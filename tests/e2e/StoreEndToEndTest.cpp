// The store end to end: the real client library (ORVClient) connects to the
// reference server started in-process on loopback, logs into the zone and
// sends the store's commands; the answers are checked for the keys and types
// the store reads, paging, search, purchases and refused requests. The admin
// endpoints reach the session server over HTTP.

#include "server/app/ReferenceServer.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>

#include "client/ORVClient.h"
#include "client/ORVMessageHandler.h"
#include "server/store/CatalogueSeeder.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/MessageCollector.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace {

using namespace std::chrono_literals;
using orv::server::ReferenceServer;
using orv::server::ReferenceServerOptions;

constexpr const char* kSubscribed = "84912000001";
constexpr const char* kRenewalDue = "84912000098";
constexpr const char* kNotRegistered = "84912000099";

class StoreEndToEndTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/orv-e2e-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
    ReferenceServerOptions options;
    std::string error;
    ASSERT_TRUE(ReferenceServerOptions::parse({"--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--db",
                                               (dir_ / "store.db").string()},
                                              options, error))
        << error;
    server_ = new ReferenceServer(std::move(options));
    ASSERT_TRUE(server_->start(error)) << error;
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
    std::filesystem::remove_all(dir_);
  }

  void SetUp() override {
    ASSERT_TRUE(server_);
    client_ = ORVClient::client();
    events_ = orv::test::EventRecorder::attach(*client_);
    answers_ = std::make_shared<orv::test::MessageCollector>();
    client_->connect("127.0.0.1", server_->sessionPort(), 5);
    ORVEventPtr connected = events_->waitFor(ORVEventTypeConnection);
    ASSERT_TRUE(connected);
    ASSERT_TRUE(*connected->parameter<bool>("success"));
    client_->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "", ""));
    ASSERT_TRUE(events_->waitFor(ORVEventTypeLogin));
  }
  void TearDown() override {
    if (client_) client_->disconnect();
  }

  // Sends one store command and waits for its answer's content.
  ORVDataObjectPtr call(const std::string& command, ORVDataObjectPtr content) {
    if (registered_.insert(command).second) client_->addMessageHandler(answers_, command);
    client_->sendRequest(ORVRequest::extensionRequestWithCommand(command, std::move(content)));
    ORVMessagePtr answer = answers_->next(command);
    EXPECT_TRUE(answer) << "no answer to " << command;
    return answer ? answer->content() : nullptr;
  }
  static ORVDataObjectPtr page(int32_t size, int32_t index) {
    return ORVDataObject::builder().putString("android", "pf").putInt32(size, "ps").putInt32(index, "pi").build();
  }
  static ORVDataObjectPtr categoryPage(int32_t category, int32_t index) {
    return ORVDataObject::builder()
        .putString("android", "pf")
        .putInt32(10, "ps")
        .putInt32(index, "pi")
        .putInt32(category, "id")
        .build();
  }
  static ORVDataObjectPtr search(const std::string& text) {
    return ORVDataObject::builder()
        .putString("android", "pf")
        .putInt32(10, "ps")
        .putInt32(0, "pi")
        .putString(text, "sh")
        .build();
  }
  static ORVDataObjectPtr buy(int32_t id, int32_t price, const std::string& msisdn) {
    return ORVDataObject::builder()
        .putInt32(id, "id")
        .putInt32(price, "pri")
        .putString("game", "tl")
        .putString(msisdn, "msi")
        .putString("partner", "par")
        .build();
  }
  static ORVDataObjectPtr msisdn(const std::string& number) {
    return ORVDataObject::builder().putString(number, "msi").build();
  }

  static inline std::filesystem::path dir_;
  static inline ReferenceServer* server_ = nullptr;
  std::shared_ptr<ORVClient> client_;
  std::shared_ptr<orv::test::EventRecorder> events_;
  std::shared_ptr<orv::test::MessageCollector> answers_;
  std::set<std::string> registered_;
};

// The type of `key` in `object`, or 0 when absent.
int typeOf(const ORVDataObjectPtr& object, std::string_view key) {
  const ORVDataElement* e = object ? object->elementForKey(key) : nullptr;
  return e ? static_cast<int>(e->type()) : 0;
}

void expectGameEntry(const ORVDataObjectPtr& game) {
  for (const char* key : {"id", "pri", "dlc", "rtc", "stt"}) EXPECT_EQ(typeOf(game, key), ORVDataTypeInt32) << key;
  for (const char* key : {"tl", "par", "sms", "ico", "ver"}) EXPECT_EQ(typeOf(game, key), ORVDataTypeString) << key;
  EXPECT_EQ(typeOf(game, "rat"), ORVDataTypeDouble);
  EXPECT_FALSE(game->containsKey("ec"));
}

// The game entries of a list answer; fails the test when "rs" is not a list.
std::vector<ORVDataObjectPtr> games(const ORVDataObjectPtr& answer) {
  std::vector<ORVDataObjectPtr> out;
  EXPECT_EQ(typeOf(answer, "rs"), ORVDataTypeDataArray);
  if (typeOf(answer, "rs") != ORVDataTypeDataArray) return out;
  EXPECT_FALSE(answer->containsKey("ec"));
  ORVDataArrayPtr rs = answer->dataArrayForKey("rs");
  for (size_t i = 0; i < rs->count(); ++i) {
    out.push_back(rs->dataObjectAtIndex(i));
    expectGameEntry(out.back());
  }
  return out;
}

std::set<int32_t> ids(const std::vector<ORVDataObjectPtr>& entries) {
  std::set<int32_t> out;
  for (const auto& e : entries) out.insert(e->int32ForKey("id"));
  return out;
}

TEST_F(StoreEndToEndTest, EveryCommandAnswersWithTheKeysAndTypesTheStoreReads) {
  EXPECT_EQ(games(call("hm", page(5, 0))).size(), 5u);

  ORVDataObjectPtr vip = call("hm.vip", page(5, 0));
  ASSERT_EQ(typeOf(vip, "rs"), ORVDataTypeDataArray);
  ORVDataArrayPtr sections = vip->dataArrayForKey("rs");
  ASSERT_GT(sections->count(), 0u);
  for (size_t i = 0; i < sections->count(); ++i) {
    ORVDataObjectPtr section = sections->dataObjectAtIndex(i);
    EXPECT_EQ(typeOf(section, "tl"), ORVDataTypeString);
    ASSERT_EQ(typeOf(section, "id"), ORVDataTypeString);
    ASSERT_EQ(typeOf(section, "lt"), ORVDataTypeDataArray);
    ORVDataArrayPtr lt = section->dataArrayForKey("lt");
    EXPECT_GT(lt->count(), 0u);
    for (size_t j = 0; j < lt->count(); ++j) expectGameEntry(lt->dataObjectAtIndex(j));
    // The section's id names a command that lists it in full.
    const std::string command = *section->stringForKey("id");
    EXPECT_EQ(command.rfind("hm.", 0), 0u) << command;
    EXPECT_FALSE(games(call(command, page(10, 0))).empty()) << command;
  }

  ORVDataObjectPtr categories = call("cnt.cat", ORVDataObject::builder().putString("android", "pf").build());
  ASSERT_EQ(typeOf(categories, "rs"), ORVDataTypeDataArray);
  ORVDataArrayPtr rs = categories->dataArrayForKey("rs");
  EXPECT_EQ(rs->count(), 8u);
  for (size_t i = 0; i < rs->count(); ++i) {
    EXPECT_EQ(typeOf(rs->dataObjectAtIndex(i), "id"), ORVDataTypeInt32);
    EXPECT_EQ(typeOf(rs->dataObjectAtIndex(i), "tl"), ORVDataTypeString);
    EXPECT_EQ(typeOf(rs->dataObjectAtIndex(i), "ico"), ORVDataTypeString);
  }

  const auto firstPage = games(call("cnt.li", categoryPage(2, 0)));
  ASSERT_FALSE(firstPage.empty());
  const int32_t gameId = firstPage.front()->int32ForKey("id");
  ORVDataObjectPtr detail = call("cnt.dt", ORVDataObject::builder().putInt32(gameId, "id").build());
  ASSERT_EQ(typeOf(detail, "gll"), ORVDataTypeString);
  ASSERT_EQ(typeOf(detail, "des"), ORVDataTypeString);
  const std::string gallery = *detail->stringForKey("gll");
  EXPECT_EQ(gallery.rfind("http://" + server_->httpAddress() + "/media/", 0), 0u) << gallery;
  EXPECT_EQ(gallery.back(), ',');  // every picture URL followed by ","
  EXPECT_FALSE(detail->stringForKey("des")->empty());

  const auto related = games(call("cnt.rlt", ORVDataObject::builder()
                                                 .putString("android", "pf")
                                                 .putInt32(0, "ord")
                                                 .putInt32(10, "ps")
                                                 .putInt32(0, "pi")
                                                 .putInt32(gameId, "id")
                                                 .build()));
  EXPECT_FALSE(related.empty());
  EXPECT_EQ(ids(related).count(gameId), 0u);  // a game is not related to itself

  for (auto [number, status] : {std::pair{kSubscribed, 1}, {kRenewalDue, 98}, {kNotRegistered, 99}, {"", 99}}) {
    ORVDataObjectPtr stt = call("a.stt", msisdn(number));
    ASSERT_EQ(typeOf(stt, "ec"), ORVDataTypeInt32) << number;
    EXPECT_EQ(stt->int32ForKey("ec"), status) << number;
    EXPECT_EQ(typeOf(stt, "em"), ORVDataTypeString) << number;
  }

  // Subscribing: "em" alone on success, and the status follows.
  ORVDataObjectPtr reg = call("a.reg", msisdn("84912000555"));
  EXPECT_FALSE(reg->containsKey("ec"));
  EXPECT_EQ(typeOf(reg, "em"), ORVDataTypeString);
  EXPECT_EQ(call("a.stt", msisdn("84912000555"))->int32ForKey("ec"), 1);
}

TEST_F(StoreEndToEndTest, TheCategoryOfTwentyThreeGamesPagesAsTenTenThreeThenEmpty) {
  std::set<int32_t> seen;
  std::vector<size_t> sizes;
  for (int32_t index = 0; index < 4; ++index) {
    const auto entries = games(call("cnt.li", categoryPage(orv::server::CatalogueSeeder::kActionCategoryId, index)));
    sizes.push_back(entries.size());
    for (int32_t id : ids(entries)) EXPECT_TRUE(seen.insert(id).second) << "game " << id << " on two pages";
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{10, 10, 3, 0}));
  EXPECT_EQ(seen.size(), 23u);
  // The empty last page is an empty list, not a failure.
  ORVDataObjectPtr last = call("cnt.li", categoryPage(orv::server::CatalogueSeeder::kActionCategoryId, 3));
  EXPECT_FALSE(last->containsKey("ec"));
}

TEST_F(StoreEndToEndTest, SearchIgnoresCaseAndDiacritics) {
  // Pick a seeded title with Vietnamese letters and search for it in plain ASCII.
  const auto all = games(call("cnt.li", categoryPage(orv::server::CatalogueSeeder::kActionCategoryId, 0)));
  ASSERT_FALSE(all.empty());
  std::string accented;
  int32_t accentedId = 0;
  for (const auto& g : all) {
    const std::string title = *g->stringForKey("tl");
    if (std::any_of(title.begin(), title.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
      accented = title;
      accentedId = g->int32ForKey("id");
      break;
    }
  }
  ASSERT_FALSE(accented.empty()) << "no title with diacritics on the first page";
  const auto exact = ids(games(call("cnt.fin", search(accented))));
  EXPECT_EQ(exact.count(accentedId), 1u) << accented;

  // The same title with its letters folded by hand: a word each side of a
  // blank, lower-cased, marks dropped, "đ" as "d".
  ORVDataObjectPtr plain = call("cnt.fin", search("zombie"));
  const auto zombies = games(plain);
  for (const auto& g : zombies) {
    std::string title = *g->stringForKey("tl");
    std::transform(title.begin(), title.end(), title.begin(), ::tolower);
    EXPECT_NE(title.find("zombie"), std::string::npos) << title;
  }
  const auto folded = ids(games(call("cnt.fin", search("dai chien"))));
  const auto marked = ids(games(call("cnt.fin", search("Đại Chiến"))));
  EXPECT_FALSE(marked.empty());
  EXPECT_EQ(folded, marked);
  EXPECT_TRUE(games(call("cnt.fin", search("khong co tro choi nao nhu the"))).empty());
}

TEST_F(StoreEndToEndTest, BuyingDependsOnTheNumberAndTheGamesPrice) {
  std::optional<std::pair<int32_t, int32_t>> freeGame, paidGame;
  for (int32_t index = 0; index < 3 && !(freeGame && paidGame); ++index) {
    for (const auto& g : games(call("cnt.li", categoryPage(orv::server::CatalogueSeeder::kActionCategoryId, index)))) {
      auto& slot = g->int32ForKey("pri") == 0 ? freeGame : paidGame;
      if (!slot) slot = std::pair{g->int32ForKey("id"), g->int32ForKey("pri")};
    }
  }
  ASSERT_TRUE(freeGame && paidGame);
  const std::string download = "http://" + server_->httpAddress() + "/download/";
  auto expectLink = [&](const ORVDataObjectPtr& answer, int32_t id) {
    EXPECT_FALSE(answer->containsKey("ec")) << answer->stringForKey("em").value_or("");
    ASSERT_EQ(typeOf(answer, "rs"), ORVDataTypeString);
    EXPECT_EQ(*answer->stringForKey("rs"), download + std::to_string(id));
  };
  auto expectRefusal = [&](const ORVDataObjectPtr& answer, int32_t code) {
    ASSERT_EQ(typeOf(answer, "ec"), ORVDataTypeInt32);
    EXPECT_EQ(answer->int32ForKey("ec"), code);
    EXPECT_EQ(typeOf(answer, "em"), ORVDataTypeString);
    EXPECT_FALSE(answer->containsKey("rs"));
  };

  // A guest (no number) is offered the subscription, for free games too: a
  // download is recorded against a number.
  expectRefusal(call("a.buy", buy(freeGame->first, 0, "")), 99);
  expectRefusal(call("a.buy", buy(paidGame->first, paidGame->second, "")), 99);
  // Not registered: free games download, paid ones offer the subscription.
  expectLink(call("a.buy", buy(freeGame->first, 0, kNotRegistered)), freeGame->first);
  expectRefusal(call("a.buy", buy(paidGame->first, paidGame->second, kNotRegistered)), 99);
  expectRefusal(call("a.buy", buy(paidGame->first, paidGame->second, kRenewalDue)), 98);
  // Subscribed: both download.
  expectLink(call("a.buy", buy(paidGame->first, paidGame->second, kSubscribed)), paidGame->first);
  expectLink(call("a.buy", buy(freeGame->first, 0, kSubscribed)), freeGame->first);
  // The link serves the game's package.
  httplib::Client http("127.0.0.1", server_->httpPort());
  auto package = http.Get("/download/" + std::to_string(paidGame->first));
  ASSERT_TRUE(package);
  EXPECT_EQ(package->status, 200);
}

TEST_F(StoreEndToEndTest, MalformedRequestsAreAnsweredWithAnErrorCode) {
  auto expectBadRequest = [&](const std::string& command, ORVDataObjectPtr content) {
    ORVDataObjectPtr answer = call(command, std::move(content));
    ASSERT_TRUE(answer);
    EXPECT_EQ(typeOf(answer, "ec"), ORVDataTypeInt32) << command;
    EXPECT_EQ(typeOf(answer, "em"), ORVDataTypeString) << command;
    EXPECT_FALSE(answer->containsKey("rs")) << command;
  };
  expectBadRequest("cnt.li", page(10, 0));  // no category id
  expectBadRequest("cnt.li", ORVDataObject::builder().putInt32(10, "ps").putInt32(0, "pi").putString("1", "id").build());
  expectBadRequest("hm", ORVDataObject::builder().putString("10", "ps").putInt32(0, "pi").build());
  expectBadRequest("cnt.fin", page(10, 0));  // no search text
  expectBadRequest("cnt.dt", ORVDataObject::builder().build());
  expectBadRequest("cnt.dt", ORVDataObject::builder().putInt32(999999, "id").build());  // no such game
  expectBadRequest("cnt.cat", ORVDataObject::builder().putInt32(1, "pf").build());
  expectBadRequest("a.buy", ORVDataObject::builder().putInt32(1, "id").putString(kSubscribed, "msi").build());
  expectBadRequest("a.reg", ORVDataObject::builder().build());
  // A command the store does not know is refused by the session server, and
  // the connection stays usable.
  expectBadRequest("cnt.nothing", page(10, 0));
  EXPECT_EQ(games(call("hm", page(5, 0))).size(), 5u);
}

TEST_F(StoreEndToEndTest, AdminEndpointsListAndKickTheClientsSession) {
  httplib::Client http("127.0.0.1", server_->httpPort());
  auto list = http.Get("/admin/sessions");
  ASSERT_TRUE(list);
  ASSERT_EQ(list->status, 200);
  auto sessions = nlohmann::json::parse(list->body);
  std::string id;
  for (const auto& s : sessions) {
    if (s["zone"] == "kivmar") {
      id = s["id"];
      EXPECT_EQ(s["peer"], "127.0.0.1");
      EXPECT_GT(s["connectedAt"].get<int64_t>(), 1700000000000);
    }
  }
  ASSERT_FALSE(id.empty()) << list->body;
  auto kicked = http.Post("/admin/sessions/" + id + "/kick");
  ASSERT_TRUE(kicked);
  EXPECT_EQ(kicked->status, 200);
  // The client hears the kick as the loss of its connection.
  EXPECT_TRUE(events_->waitFor(ORVEventTypeConnectionLost));
  auto again = http.Post("/admin/sessions/" + id + "/kick");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 404);
}

}  // namespace
