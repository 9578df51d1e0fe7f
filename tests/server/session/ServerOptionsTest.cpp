#include "server/session/ServerOptions.h"

#include <gtest/gtest.h>

namespace orv::server {
namespace {

bool parse(std::vector<std::string> args, ServerOptions& out, std::string& error) {
  return ServerOptions::parse(args, out, error);
}

TEST(ServerOptionsTest, FullCommandLine) {
  ServerOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--listen", "127.0.0.1:9443", "--threads", "4", "--zone", "kivmar", "--zone", "test",
                     "--compression-threshold", "512", "--max-message-size", "4096", "--reconnection-timeout",
                     "2", "--idle-timeout", "30"},
                    o, error))
      << error;
  EXPECT_EQ(o.host, "127.0.0.1");
  EXPECT_EQ(o.port, 9443);
  EXPECT_EQ(o.threads, 4u);
  EXPECT_EQ(o.effectiveZones(), (std::vector<std::string>{"kivmar", "test"}));
  EXPECT_EQ(o.compressionThreshold, 512u);
  EXPECT_EQ(o.maxMessageSize, 4096u);
  EXPECT_EQ(o.reconnectionTimeoutSeconds, 2u);
  EXPECT_EQ(o.idleTimeoutSeconds, 30u);
}

TEST(ServerOptionsTest, DefaultsAndBracketedIpv6) {
  ServerOptions o;
  std::string error;
  ASSERT_TRUE(parse({"--listen", "[::1]:0"}, o, error)) << error;
  EXPECT_EQ(o.host, "::1");
  EXPECT_EQ(o.port, 0);
  EXPECT_EQ(o.effectiveZones(), std::vector<std::string>{"kivmar"});
  EXPECT_EQ(o.compressionThreshold, 1024u);
  EXPECT_EQ(o.maxMessageSize, 65536u);
  EXPECT_EQ(o.reconnectionTimeoutSeconds, 60u);
  EXPECT_EQ(o.idleTimeoutSeconds, 300u);
}

TEST(ServerOptionsTest, RefusesBadInputWithAReason) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  std::vector<Case> cases = {
      {{}, "--listen HOST:PORT is required"},
      {{"--listen"}, "missing value for --listen"},
      {{"--listen", "127.0.0.1"}, "invalid value for --listen: \"127.0.0.1\" (expected HOST:PORT)"},
      {{"--listen", "127.0.0.1:65536"}, "invalid value for --listen: \"127.0.0.1:65536\" (expected HOST:PORT)"},
      {{"--listen", "::1:80"}, "invalid value for --listen: \"::1:80\" (expected HOST:PORT)"},
      {{"--listen", "h:1", "--threads", "0"}, "invalid value for --threads: \"0\" (1 to 64)"},
      {{"--listen", "h:1", "--threads", "2x"}, "invalid value for --threads: \"2x\" (1 to 64)"},
      {{"--listen", "h:1", "--max-message-size", "255"},
       "invalid value for --max-message-size: \"255\" (256 to 2147483647)"},
      {{"--listen", "h:1", "--compression-threshold", "2147483648"},
       "invalid value for --compression-threshold: \"2147483648\" (0 to 2147483647)"},
      {{"--listen", "h:1", "--idle-timeout", "0"}, "invalid value for --idle-timeout: \"0\" (at least 1 second)"},
      {{"--listen", "h:1", "--reconnection-timeout", "-1"},
       "invalid value for --reconnection-timeout: \"-1\" (seconds)"},
      {{"--listen", "h:1", "--frobnicate", "1"}, "unknown option: --frobnicate"},
      {{"--listen", "h:1", "stray"}, "unexpected argument: stray"},
  };
  for (const auto& c : cases) {
    ServerOptions o;
    std::string error;
    EXPECT_FALSE(parse(c.args, o, error));
    EXPECT_EQ(error, c.error);
  }
}

TEST(ServerOptionsTest, LimitsAreAcceptedAtTheirValue) {
  ServerOptions o;
  std::string error;
  EXPECT_TRUE(parse({"--listen", "h:65535", "--max-message-size", "256", "--threads", "64",
                     "--compression-threshold", "2147483647", "--reconnection-timeout", "0"},
                    o, error))
      << error;
  EXPECT_EQ(o.port, 65535);
  EXPECT_EQ(o.maxMessageSize, 256u);
  EXPECT_EQ(o.compressionThreshold, 0x7FFFFFFFu);
}

}  // namespace
}  // namespace orv::server
