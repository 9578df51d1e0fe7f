// The client across a restart of the whole reference server on the same
// port: the session it had is gone, so the reconnection opens a fresh one.
// The client must say so (logout, then connection) and let the application
// log in again by itself; the commands sent after that are answered.

#include "client/ORVClient.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "client/ORVEventHandler.h"
#include "client/ORVEventType.h"
#include "client/ORVMessageHandler.h"
#include "server/app/ReferenceServer.h"
#include "server/app/ReferenceServerOptions.h"
#include "tests/support/EventRecorder.h"
#include "tests/support/MessageCollector.h"
#include "tests/support/LogCapture.h"
#include "wire/ORVDataObject.h"
#include "wire/ORVMessage.h"
#include "wire/ORVRequest.h"

namespace orv::test {
namespace {

using namespace std::chrono_literals;
using orv::server::ReferenceServer;
using orv::server::ReferenceServerOptions;

// What an application does: log into "kivmar" on every successful connection
// event, as the store's sign-in screen does.
class LoginOnConnection : public ORVEventHandler {
 public:
  explicit LoginOnConnection(std::weak_ptr<ORVClient> client) : client_(std::move(client)) {}
  void handleEvent(const ORVEventPtr& event) override {
    auto client = client_.lock();
    if (client && event->type() == ORVEventTypeConnection && *event->parameter<bool>("success")) {
      client->sendRequest(ORVRequest::loginRequestWithZone("kivmar", "", ""));
    }
  }

 private:
  std::weak_ptr<ORVClient> client_;
};

class ClientServerRestartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-restart-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
  }
  void TearDown() override {
    if (client_) client_->disconnect();
    client_.reset();
    server_.reset();
    std::filesystem::remove_all(dir_);
  }

  // The reference server on `listen` ("127.0.0.1:0" for any free port).
  std::unique_ptr<ReferenceServer> startServer(const std::string& listen) {
    ReferenceServerOptions options;
    std::string error;
    EXPECT_TRUE(ReferenceServerOptions::parse(
        {"--listen", listen, "--http", "127.0.0.1:0", "--db", (dir_ / "store.db").string()}, options, error))
        << error;
    auto server = std::make_unique<ReferenceServer>(std::move(options));
    if (!server->start(error)) {
      ADD_FAILURE() << error;
      return nullptr;
    }
    return server;
  }

  ORVMessagePtr home() {
    client_->sendRequest(ORVRequest::extensionRequestWithCommand(
        "hm", ORVDataObject::builder().putString("android", "pf").putInt32(3, "ps").putInt32(0, "pi").build()));
    return answers_->next();
  }

  std::filesystem::path dir_;
  std::unique_ptr<ReferenceServer> server_;
  std::shared_ptr<ORVClient> client_;
  std::shared_ptr<MessageCollector> answers_ = std::make_shared<MessageCollector>();
};

TEST_F(ClientServerRestartTest, FreshSessionAfterRestartLogsInAgainAndIsAnswered) {
  server_ = startServer("127.0.0.1:0");
  ASSERT_TRUE(server_);
  const uint16_t port = server_->sessionPort();

  client_ = ORVClient::client();
  client_->setReconnectionDelay(1);
  auto events = EventRecorder::attach(*client_);
  client_->addEventHandler(std::make_shared<LoginOnConnection>(client_), ORVEventTypeConnection);
  client_->addMessageHandler(answers_, "hm");
  client_->connect("127.0.0.1", port, 5);
  ASSERT_TRUE(events->waitFor(ORVEventTypeLogin, 1));
  const std::optional<std::string> firstSession = client_->sessionId();
  ASSERT_TRUE(home());

  LogCapture log;
  server_->stop();
  server_.reset();
  ASSERT_TRUE(events->waitFor(ORVEventTypeConnectionLost, 1));
  server_ = startServer("127.0.0.1:" + std::to_string(port));
  ASSERT_TRUE(server_);

  // The new server knows nothing of the old session: a fresh one, announced
  // as a logout followed by a connection, and the application's own login
  // goes out and succeeds.
  ASSERT_TRUE(events->waitFor(ORVEventTypeConnection, 2, 15s));
  ASSERT_TRUE(events->waitFor(ORVEventTypeLogin, 2));
  EXPECT_EQ(events->count(ORVEventTypeConnectionResume), 0u);
  EXPECT_EQ(events->count(ORVEventTypeLogout), 1u);
  const std::vector<int32_t> types = events->types();
  const auto logout = std::find(types.begin(), types.end(), ORVEventTypeLogout);
  ASSERT_NE(logout, types.end());
  EXPECT_EQ(std::find(logout, types.end(), ORVEventTypeConnection) - logout, 1) << "logout right before connection";
  EXPECT_NE(client_->sessionId(), firstSession);
  EXPECT_EQ(client_->currentZone(), "kivmar");
  ASSERT_NE(client_->currentUser(), nullptr);
  for (const std::string& line : log.lines()) EXPECT_EQ(line.find("Already logged in"), std::string::npos) << line;

  ORVMessagePtr answer = home();
  ASSERT_TRUE(answer);
  EXPECT_FALSE(answer->containsKey("ec"));
}

}  // namespace
}  // namespace orv::test
