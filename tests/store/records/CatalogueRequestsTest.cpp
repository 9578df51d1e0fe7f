// Every store command as it leaves the client: the bytes of each request are
// decoded again as the server decodes them and compared key by key and type
// by type with the command table; then each request goes through a real
// client to the reference server, which refuses a missing or mistyped key
// with "ec", so an accepted request proves the server read what we meant.

#include "store/records/CatalogueRequests.h"

#include <gtest/gtest.h>

#include <map>
#include <variant>

#include "client/ORVClient.h"
#include "client/ORVMessageHandler.h"
#include "store/records/CatalogueAnswer.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/MessageCollector.h"
#include "tests/support/LocalReferenceServer.h"
#include "wire/ORVDataArray.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace {

using namespace std::chrono_literals;
using orv::store::CatalogueAnswer;
using orv::store::CatalogueRequests;
using Value = std::variant<int32_t, std::string>;
using Expected = std::map<std::string, Value>;

// The request as the server sees it: written to bytes, then parsed back.
ORVMessagePtr overTheWire(const ORVRequestPtr& request) {
  std::vector<uint8_t> bytes = request->dataArray()->data();
  ORVMessagePtr decoded;
  EXPECT_TRUE(ORVMessage::parseMessage(decoded, bytes, 0, static_cast<uint32_t>(bytes.size())));
  return decoded;
}

void expectContent(const ORVRequestPtr& request, const std::string& command, const Expected& expected) {
  ASSERT_TRUE(request);
  ORVMessagePtr decoded = overTheWire(request);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->commandId(), 5);
  EXPECT_EQ(decoded->command(), command);
  const ORVDataObject& content = *decoded->content();
  EXPECT_EQ(content.count(), expected.size()) << command << ": " << content.description();
  for (const auto& [key, value] : expected) {
    const ORVDataElement* element = content.elementForKey(key);
    ASSERT_TRUE(element) << command << " lacks " << key;
    if (auto i = std::get_if<int32_t>(&value)) {
      EXPECT_EQ(element->type(), ORVDataTypeInt32) << command << " " << key;
      EXPECT_EQ(content.int32ForKey(key), *i) << command << " " << key;
    } else {
      EXPECT_EQ(element->type(), ORVDataTypeString) << command << " " << key;
      EXPECT_EQ(content.stringForKey(key), std::get<std::string>(value)) << command << " " << key;
    }
  }
}

TEST(CatalogueRequestsTest, EveryCommandCarriesExactlyTheKeysAndTypesOfTheTable) {
  const std::string pf = "android";
  expectContent(CatalogueRequests::home(), "hm", {{"pf", pf}, {"ps", 5}, {"pi", 0}});
  expectContent(CatalogueRequests::homeSections(), "hm.vip", {{"pf", pf}, {"ps", 5}, {"pi", 0}});
  expectContent(CatalogueRequests::homeList("hm.new", 0), "hm.new", {{"pf", pf}, {"ps", 10}, {"pi", 0}});
  expectContent(CatalogueRequests::homeList("hm.rcm", 4), "hm.rcm", {{"pf", pf}, {"ps", 10}, {"pi", 4}});
  expectContent(CatalogueRequests::categoryList(12, 3), "cnt.li", {{"pf", pf}, {"ps", 10}, {"pi", 3}, {"id", 12}});
  expectContent(CatalogueRequests::search("abc", 0), "cnt.fin", {{"pf", pf}, {"ps", 10}, {"pi", 0}, {"sh", "abc"}});
  expectContent(CatalogueRequests::relatedToGame(7), "cnt.rlt",
                {{"pf", pf}, {"ord", 0}, {"ps", 10}, {"pi", 0}, {"id", 7}});
  expectContent(CatalogueRequests::relatedList(7, 2), "cnt.rlt",
                {{"pf", pf}, {"ord", 0}, {"ps", 10}, {"pi", 2}, {"id", 7}});
  expectContent(CatalogueRequests::detail(42), "cnt.dt", {{"id", 42}});
  expectContent(CatalogueRequests::categories(), "cnt.cat", {{"pf", pf}});
  expectContent(CatalogueRequests::status("84912000001"), "a.stt", {{"msi", "84912000001"}});
  expectContent(CatalogueRequests::subscribe(""), "a.reg", {{"msi", ""}});
  expectContent(CatalogueRequests::buy(9, 5000, "Cờ tướng", "84912000001", "vnp"), "a.buy",
                {{"id", 9}, {"pri", 5000}, {"tl", "Cờ tướng"}, {"msi", "84912000001"}, {"par", "vnp"}});
}

TEST(CatalogueRequestsTest, ListPagePicksTheFamilyOfTheNavigationCommand) {
  const std::string pf = "android";
  expectContent(CatalogueRequests::listPage("cnt.li.top", 1, 12, "x"), "cnt.li.top",
                {{"pf", pf}, {"ps", 10}, {"pi", 1}, {"id", 12}});
  expectContent(CatalogueRequests::listPage("cnt.fin", 2, 12, "zombie"), "cnt.fin",
                {{"pf", pf}, {"ps", 10}, {"pi", 2}, {"sh", "zombie"}});
  expectContent(CatalogueRequests::listPage("cnt.rlt", 0, 5, ""), "cnt.rlt",
                {{"pf", pf}, {"ord", 0}, {"ps", 10}, {"pi", 0}, {"id", 5}});
  expectContent(CatalogueRequests::listPage("hm.fre", 3, 0, ""), "hm.fre", {{"pf", pf}, {"ps", 10}, {"pi", 3}});
  EXPECT_FALSE(CatalogueRequests::listPage("a.buy", 0, 0, ""));
  EXPECT_FALSE(CatalogueRequests::listPage("", 0, 0, ""));
}

class CatalogueRequestsServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = orv::test::LocalReferenceServer::start().release(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server_) << orv::test::LocalReferenceServer::lastError();
    client_ = ORVClient::client();
    events_ = orv::test::EventRecorder::attach(*client_);
    client_->connect("127.0.0.1", server_->sessionPort(), 5);
    ASSERT_TRUE(events_->waitFor(ORVEventTypeConnection));
    client_->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "", ""));
    ASSERT_TRUE(events_->waitFor(ORVEventTypeLogin));
  }
  void TearDown() override {
    if (client_) client_->disconnect();
  }
  ORVDataObjectPtr call(const ORVRequestPtr& request) {
    if (registered_.insert(request->command()).second) client_->addMessageHandler(answers_, request->command());
    client_->sendRequest(request);
    ORVMessagePtr answer = answers_->next(request->command());
    EXPECT_TRUE(answer) << "no answer to " << request->command();
    return answer ? answer->content() : ORVDataObject::dataObject();
  }
  ORVDataObjectPtr accepted(const ORVRequestPtr& request) {
    ORVDataObjectPtr answer = call(request);
    EXPECT_FALSE(CatalogueAnswer::isFailure(*answer)) << request->command() << ": " << answer->description();
    return answer;
  }

  static inline orv::test::LocalReferenceServer* server_ = nullptr;
  std::shared_ptr<ORVClient> client_;
  std::shared_ptr<orv::test::EventRecorder> events_;
  std::shared_ptr<orv::test::MessageCollector> answers_ = std::make_shared<orv::test::MessageCollector>();
  std::set<std::string> registered_;
};

TEST_F(CatalogueRequestsServerTest, TheReferenceServerReadsEveryRequestAsMeant) {
  EXPECT_EQ(CatalogueAnswer::games(*accepted(CatalogueRequests::home())).size(), 5u);
  const auto sections = CatalogueAnswer::homeSections(*accepted(CatalogueRequests::homeSections()));
  ASSERT_FALSE(sections.empty());
  // A section's own command lists it in full, page by page.
  const auto first = CatalogueAnswer::games(*accepted(CatalogueRequests::homeList(sections[0].header.command(), 0)));
  const auto second = CatalogueAnswer::games(*accepted(CatalogueRequests::homeList(sections[0].header.command(), 1)));
  ASSERT_EQ(first.size(), 10u);
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first[0].id(), second[0].id());

  const auto categories = CatalogueAnswer::categories(*accepted(CatalogueRequests::categories()));
  ASSERT_FALSE(categories.empty());
  EXPECT_FALSE(CatalogueAnswer::games(*accepted(CatalogueRequests::categoryList(categories[0].catId(), 0))).empty());

  const orv::store::Game game = first[0];
  const auto found = CatalogueAnswer::games(*accepted(CatalogueRequests::search(game.name(), 0)));
  EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const auto& g) { return g.id() == game.id(); }));
  EXPECT_FALSE(CatalogueAnswer::games(*accepted(CatalogueRequests::relatedToGame(game.id()))).empty());
  accepted(CatalogueRequests::relatedList(game.id(), 1));

  orv::store::Game detailed = game;
  ASSERT_TRUE(CatalogueAnswer::readDetail(*accepted(CatalogueRequests::detail(game.id())), detailed));
  EXPECT_FALSE(detailed.gallery().empty());
  EXPECT_FALSE(detailed.body().empty());

  ORVDataObjectPtr status = call(CatalogueRequests::status("84912000099"));
  EXPECT_EQ(CatalogueAnswer::code(*status), 99);
  EXPECT_FALSE(CatalogueAnswer::message(*status).empty());
  accepted(CatalogueRequests::subscribe("84912000777"));
  EXPECT_EQ(CatalogueAnswer::code(*call(CatalogueRequests::status("84912000777"))), 1);
  ORVDataObjectPtr bought =
      accepted(CatalogueRequests::buy(game.id(), game.price(), game.name(), "84912000777", game.partner()));
  EXPECT_NE(bought->stringForKey("rs").value_or("").find("/download/"), std::string::npos);
}

TEST_F(CatalogueRequestsServerTest, AMistypedKeyIsRefusedSoAcceptanceMeansSomething) {
  // The same category page with "id" as text instead of int32.
  ORVDataObjectPtr content =
      ORVDataObject::builder().putString("android", "pf").putInt32(10, "ps").putInt32(0, "pi").putString("1", "id").build();
  EXPECT_TRUE(CatalogueAnswer::isFailure(*call(ORVRequest::extensionRequestWithCommand("cnt.li", content))));
}

}  // namespace
