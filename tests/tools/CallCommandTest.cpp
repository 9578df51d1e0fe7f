#include "tools/orv-cli/CallCommand.h"

#include <gtest/gtest.h>

#include <asio.hpp>
#include <sstream>

#include "tests/support/FakeReachability.h"
#include "tests/support/ScriptedServer.h"

namespace orv::test {
namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun call(std::vector<std::string> args) {
  args.insert(args.begin(), "call");
  std::ostringstream out, err;
  const int status = orvcli::runCli(args, out, err);
  return {status, out.str(), err.str()};
}

class CallCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FakeReachability::install(true);
    server.setResponder([this](ScriptedServer::Peer& peer, const ORVMessagePtr& m) {
      if (m->commandId() == ORVCommandIdHandshake && refuseHandshake) {
        peer.send(errorAnswer(ORVCommandIdHandshake, 3, "full"));
        return;
      }
      ScriptedServer::standardReply(peer, m);
      if (m->commandId() == ORVCommandIdLogin) {
        if (m->stringForKey("u") == "banned") {
          peer.send(errorAnswer(ORVCommandIdLogin, 28, "banned"));
        } else {
          peer.send(loginAnswer(*m->stringForKey("z"), *m->stringForKey("u"), 9, 60));
        }
      }
      if (m->commandId() == ORVCommandIdExtension && m->command() == "cnt.cat") {
        peer.send(extension("other", nullptr));  // not ours: ignored
        peer.send(extension("cnt.cat", ORVDataObject::builder().putInt32(m->int32ForKey("id") + 1, "id").build()));
      }
      if (m->commandId() == ORVCommandIdExtension && m->command() == "a.buy") {
        peer.send(extension("a.err", ORVDataObject::builder().putInt32(4, "ec").build()));  // same group
      }
    });
  }
  void TearDown() override { FakeReachability::uninstall(); }
  std::string address() const { return "127.0.0.1:" + std::to_string(server.port()); }

  ScriptedServer server;
  bool refuseHandshake = false;
};

TEST_F(CallCommandTest, PrintsTheFirstAnswerAndTheEventsOnRequest) {
  CliRun r = call({"--server", address(), "cnt.cat", R"({"id":300})"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "{\"commandId\":5,\"command\":\"cnt.cat\",\"content\":{\"id\":301}}\n");
  auto login = server.waitForPeer()->waitForMessage(ORVCommandIdLogin);
  EXPECT_EQ(login->stringForKey("z"), "kivmar");
  EXPECT_EQ(login->stringForKey("u"), "");

  CliRun e = call({"--server", address(), "--events", "--zone", "z2", "--user", "an", "a.buy"});
  EXPECT_EQ(e.status, 0) << e.err;
  EXPECT_EQ(e.out,
            "{\"event\":0,\"params\":{\"success\":true}}\n"
            "{\"event\":5,\"params\":{\"loginParams\":{},\"user\":{\"userId\":9,\"name\":\"an\"}}}\n"
            "{\"commandId\":5,\"command\":\"a.err\",\"content\":{\"ec\":4}}\n");
}

TEST_F(CallCommandTest, FailuresExitOneWithOneLine) {
  uint16_t closed;
  {
    asio::io_context io;
    asio::ip::tcp::acceptor a(io, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    closed = a.local_endpoint().port();
  }
  CliRun refused = call({"--server", "127.0.0.1:" + std::to_string(closed), "x"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err.rfind("orv-cli: call: cannot connect to 127.0.0.1:" + std::to_string(closed) +
                                  ": NSPOSIXErrorDomain 111",
                              0),
            0u)
      << refused.err;

  CliRun banned = call({"--server", address(), "--user", "banned", "x"});
  EXPECT_EQ(banned.status, 1);
  EXPECT_EQ(banned.err, "orv-cli: call: login to zone \"kivmar\" refused: code 28, parameters [\"banned\"]\n");

  CliRun silent = call({"--server", address(), "--timeout", "1", "hm.none"});
  EXPECT_EQ(silent.status, 1);
  EXPECT_EQ(silent.err, "orv-cli: call: timed out after 1 s waiting for an answer to \"hm.none\" from " + address() + "\n");

  refuseHandshake = true;
  CliRun handshake = call({"--server", address(), "x"});
  EXPECT_EQ(handshake.status, 1);
  EXPECT_EQ(handshake.err, "orv-cli: call: handshake refused by " + address() + ": 3 ([full])\n");

  CliRun usage = call({"cnt.cat"});
  EXPECT_EQ(usage.status, 1);
  EXPECT_EQ(usage.err.rfind("orv-cli: call: --server is required\n", 0), 0u);
  EXPECT_EQ(call({"--server", address(), "x", "{bad"}).status, 1);
}

}  // namespace
}  // namespace orv::test
